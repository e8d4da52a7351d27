#include "afx/ui/uilanguage.h"

#include <wx/defs.h>
#include <wx/stockitem.h>
#include <wx/translation.h>

#include <langinfo.h>

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace afx {

namespace {

// wx shows GTK's word in place of a stock button's label when the label
// reads as wx's stock label in the current language, so with wx's Russian
// catalog alone the programs' own "Отмена" would turn into GTK's
// "Отменить". The stock labels therefore keep their English in a catalog of
// their own that maps each to itself and is searched before wx's: a button
// without a label of its own still shows GTK's word, in GTK's language.
constexpr const char* kStockLabelsDomain = "kelm-stock-labels";

// wx's stock labels with their mnemonics, as wx compares a button's label
// with them, untranslated; taken while no translation is in force. (The
// plain forms stay translated: wx's own dialogs use them as words.)
const std::set<std::string>& StockLabels()
{
    static const std::set<std::string> labels = [] {
        std::set<std::string> found;
        for (int id = wxID_LOWEST; id <= wxID_HIGHEST; ++id)
            if (wxIsStockID(id))
                found.insert(wxGetStockLabel(id, wxSTOCK_WITH_MNEMONIC).utf8_string());
        found.erase("");
        return found;
    }();
    return labels;
}

void PutLittleEndian(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A message catalog file (GNU .mo) whose every message is its own
// translation, with a header naming UTF-8.
std::string IdentityCatalog(const std::set<std::string>& messages)
{
    std::vector<std::pair<std::string, std::string>> entries{{"", "Content-Type: text/plain; charset=UTF-8\n"}};
    for (const std::string& message : messages)
        entries.emplace_back(message, message);
    const auto count = static_cast<std::uint32_t>(entries.size());
    const std::uint32_t originals = 28, translations = originals + 8 * count;
    std::uint32_t offset = translations + 8 * count;
    std::string header, originalTable, translationTable, texts;
    for (const auto& [original, translation] : entries) {
        PutLittleEndian(originalTable, static_cast<std::uint32_t>(original.size()));
        PutLittleEndian(originalTable, offset);
        texts += original + '\0';
        offset += static_cast<std::uint32_t>(original.size() + 1);
    }
    for (const auto& [original, translation] : entries) {
        PutLittleEndian(translationTable, static_cast<std::uint32_t>(translation.size()));
        PutLittleEndian(translationTable, offset);
        texts += translation + '\0';
        offset += static_cast<std::uint32_t>(translation.size() + 1);
    }
    for (std::uint32_t word : {0x950412deu, 0u, count, originals, translations, 0u, offset})
        PutLittleEndian(header, word);
    return header + originalTable + translationTable + texts;
}

class CatalogLoader : public wxFileTranslationsLoader {
public:
    wxMsgCatalog* LoadCatalog(const wxString& domain, const wxString& lang) override
    {
        if (domain != kStockLabelsDomain)
            return wxFileTranslationsLoader::LoadCatalog(domain, lang);
        const std::string data = IdentityCatalog(StockLabels());
        return wxMsgCatalog::CreateFromData(wxScopedCharBuffer::CreateNonOwned(data.data(), data.size()), domain);
    }
};

// Null for English: wx's words are English untranslated. Call it while no
// translation is in force.
wxTranslations* MakeTranslations(winapi::UiLanguage language)
{
    if (language == winapi::UiLanguage::English)
        return nullptr;
    StockLabels();
    auto* translations = new wxTranslations;
    translations->SetLoader(new CatalogLoader);
    translations->SetLanguage(wxLANGUAGE_RUSSIAN);
    // Without wx's catalog (the package wx3.2-i18n) its words stay English.
    if (translations->AddStdCatalog())
        translations->AddCatalog(kStockLabelsDomain);
    return translations;
}

} // namespace

void SetUiLanguage(winapi::UiLanguage language)
{
    winapi::SetMessagesLanguage(language);
    wxTranslations::Set(nullptr);
    wxTranslations::Set(MakeTranslations(language));
}

ScopedUiLanguage::ScopedUiLanguage(winapi::UiLanguage language)
{
    locale_t changed = ::duplocale(::uselocale(static_cast<locale_t>(nullptr)));
    if (changed != static_cast<locale_t>(nullptr)) {
        const char* messages = language == winapi::UiLanguage::Russian ? "ru_RU.UTF-8" : "C";
        if (locale_t withMessages = ::newlocale(LC_MESSAGES_MASK, messages, changed))
            changed = withMessages;
        // Translations come out in the character set of LC_CTYPE.
        if (std::string_view(::nl_langinfo_l(CODESET, changed)) != "UTF-8") {
            if (locale_t withCharacters = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", changed))
                changed = withCharacters;
        }
        m_locale = changed;
        m_previous = ::uselocale(m_locale);
    }
    if (!wxTranslations::Get()) {
        if (wxTranslations* translations = MakeTranslations(language)) {
            wxTranslations::Set(translations);
            m_ownTranslations = true;
        }
    }
}

ScopedUiLanguage::~ScopedUiLanguage()
{
    if (m_ownTranslations)
        wxTranslations::Set(nullptr);
    if (m_locale != static_cast<locale_t>(nullptr)) {
        ::uselocale(m_previous);
        ::freelocale(m_locale);
    }
}

} // namespace afx
