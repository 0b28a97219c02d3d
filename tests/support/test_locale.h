// Process locales unlike the "C" locale, for tests that the plug-in neither changes the host's
// locale nor depends on it.
#pragma once

#include <string>

namespace vantor::testing {

// Makes `name` ("de_DE.UTF-8", "tr_TR.UTF-8": language, territory, UTF-8) the locale of this
// process. It is generated once into the build tree with localedef, together with en_US.UTF-8
// so that code asking for that one finds it too, and found through LOCPATH, as build machines
// rarely have such locales installed. Empty on success, else what failed.
std::string UseLocale(const std::string& name);

// UseLocale("de_DE.UTF-8"), which writes numbers with a decimal comma.
std::string UseDecimalCommaLocale();

// Puts the "C" locale back.
void UseCLocale();

}  // namespace vantor::testing
