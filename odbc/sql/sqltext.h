// Tools that prepare SQL text before it goes to a driver. They share one
// lexical view: quoted strings, "--" line comments and nested "/* */" block
// comments; placeholders, words and separators count only outside them.
// Text is UTF-8; Cyrillic letters are identifier characters like Latin ones.
#pragma once

#include <span>
#include <string>
#include <vector>

// One entry of a word table; a table ends with an entry whose word is null.
struct CWordReplace {
    const char* m_word;
    const char* m_replace;
};

// Rewrites one statement: "$name" becomes the text the callback gives for
// it, ":name" becomes the parameter marker "?" (the names are kept in order),
// comments become one blank. Also tells what kind of statement it is.
class CParserReplace {
public:
    using ValueCallback = bool (*)(const char* name, std::string& value);

    enum QueryType {
        QueryUnknown = 0,
        QuerySelect = 1,
        QueryInsert = 2,
        QueryUpdate = 3,
        QueryDelete = 4,
        QueryProcedure = 5,
    };

    CParserReplace(const char* text, ValueCallback callback);
    virtual ~CParserReplace();

    bool IsError() const { return m_error != 0; }
    std::string GetError();
    bool IsBindVariables() const { return !m_bindVariables.empty(); }
    void GetBindVariables(std::vector<std::string>& names);
    int GetQueryType() const { return m_queryType; }

    // The words the scanner knows, compared without regard to case. The
    // first is empty; the positions of the next seven set the query type.
    static std::span<const char* const> GetKeywords();

    // The rewritten statement, trimmed; after an error, what was written
    // up to it.
    std::string m_strOut;

private:
    bool Token();
    void Word();
    bool BindVariable();
    bool Substitution();
    std::string ReadName();
    bool SetError(int code, std::string token);

    const char* m_source;
    std::size_t m_pos = 0;
    std::vector<std::string> m_bindVariables;
    ValueCallback m_callback;
    std::string m_value;
    std::string m_errorToken;
    int m_queryType = QueryUnknown;
    int m_error = 0;
};

// Appends the batches of a script: it is cut at each word "GO" (any case)
// and at each ";" outside strings and comments. Each batch is trimmed of
// white space and kept only when something remains.
void GetBatchsFromString(const char* script, std::vector<std::string>& batches);

// The text without its comments. Quoted strings are copied as they stand.
void DeleteAllComments(const char* text, std::string& out);

// The first place in text where sub stands, exactly or without regard to
// (Latin) case; null when there is none or the text is empty.
const char* FindSubString(const char* text, const char* sub, bool caseSensitive);

// Appends text to out, with each word found in table replaced. Words end at
// white space and at the characters in separators, which are words of their
// own; strings and comments are copied unchanged.
void WordsReplaceCode(const char* text, const CWordReplace* table, std::string& out,
                      bool caseSensitive, const char* separators);
