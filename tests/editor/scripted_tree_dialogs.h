// The process tree's dialogs answering from a test: each choice returns
// what the test set (or cancels when it set nothing), and every call is
// recorded with what the tree passed.
#pragma once

#include "editor/trees/core/treedialogs.h"

#include "charts/elements/awfelements.h"

#include <optional>
#include <string>
#include <vector>

namespace kelm::test {

struct ScriptedTreeDialogs : tarnwick::ITreeDialogs {
    struct Process {
        std::int32_t word;
        std::string name;
    };
    struct Document {
        std::int32_t typeDoc;
        std::string name;
    };
    // What the element of the document-type sheet held when it was shown.
    struct ShownDocument {
        std::int32_t typeDoc, options;
        std::int16_t defState;
        std::string name;
        std::int16_t grp, type;
    };

    std::optional<std::vector<std::int16_t>> groups;
    std::optional<Process> process;
    std::optional<Document> document;

    std::vector<std::string> calls;
    std::vector<std::pair<std::int16_t, std::string>> processAskedFor; // group and its text
    std::vector<std::pair<std::int16_t, std::int16_t>> documentAskedFor; // type and group
    std::vector<std::string> processProperties; // "grp type text"
    std::vector<ShownDocument> documentProperties;

    bool SelectGroups(std::vector<std::int16_t>& chosen) override
    {
        calls.push_back("SelectGroups");
        if (!groups)
            return false;
        chosen = *groups;
        return true;
    }
    bool SelectProcess(std::int16_t grp, const std::string& groupText, std::int32_t& word,
                       std::string& name) override
    {
        calls.push_back("SelectProcess");
        processAskedFor.emplace_back(grp, groupText);
        if (!process)
            return false;
        word = process->word;
        name = process->name;
        return true;
    }
    bool SelectDocument(std::int16_t type, std::int16_t grp, std::int32_t& typeDoc, std::string& name) override
    {
        calls.push_back("SelectDocument");
        documentAskedFor.emplace_back(type, grp);
        if (!document)
            return false;
        typeDoc = document->typeDoc;
        name = document->name;
        return true;
    }
    void ShowProcessProperties(std::int16_t grp, std::int16_t type, const std::string& text) override
    {
        calls.push_back("ShowProcessProperties");
        processProperties.push_back(std::to_string(grp) + " " + std::to_string(type) + " " + text);
    }
    void ShowDocumentProperties(CAWFDocumentType& element, std::int16_t grp, std::int16_t type) override
    {
        calls.push_back("ShowDocumentProperties");
        documentProperties.push_back(
            {element.TypeDoc, element.DocTypeOptions, element.defState, element.NameDoc, grp, type});
    }
};

} // namespace kelm::test
