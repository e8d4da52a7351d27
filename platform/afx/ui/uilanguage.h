// The toolkit's own words (stock buttons, message-box buttons, the file and
// folder choosers, the texts of wx's own dialogs and document manager) in
// the language of a program's own texts. GTK takes its words from the C
// library's message catalogs, wx from its catalog wxstd; both follow this.
#pragma once

#include "winapi/text.h"

#include <locale.h>

namespace afx {

// For the whole program, once the toolkit runs: the C library's messages
// (winapi::SetMessagesLanguage, with its rules on threads) and wx's
// translations. Without the catalogs on the system the words stay English.
void SetUiLanguage(winapi::UiLanguage language);

// For a library's windows inside a host program, while the object lives:
// the messages of the calling thread only, and wx's translations when the
// host has none of its own. The host's LANGUAGE, when set, still names the
// catalogs GTK reads.
class ScopedUiLanguage {
public:
    explicit ScopedUiLanguage(winapi::UiLanguage language);
    ~ScopedUiLanguage();
    ScopedUiLanguage(const ScopedUiLanguage&) = delete;
    ScopedUiLanguage& operator=(const ScopedUiLanguage&) = delete;

private:
    locale_t m_locale = static_cast<locale_t>(nullptr);
    locale_t m_previous = static_cast<locale_t>(nullptr);
    bool m_ownTranslations = false;
};

} // namespace afx
