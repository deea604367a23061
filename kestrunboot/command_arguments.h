#pragma once
// The arguments of a command line, split as the system's own splitter
// (CommandLineToArgvW) splits them, so a script quotes them as for any
// Windows program:
//   - the program name runs to the next double quote when it begins with
//     one, else to the first blank or tab;
//   - arguments are separated by blanks and tabs outside double quotes;
//   - 2n backslashes before a double quote give n backslashes and the quote
//     opens or closes a quoted part; 2n+1 give n backslashes and a literal
//     quote; backslashes before anything else stay as they are;
//   - in a run of double quotes every third one is a literal quote, so ""
//     inside a quoted part gives a quote and ends the part.
// Pure text logic: no Win32 calls.

#include <cstddef>

class CCommandArguments
{
public:
    // pszCommandLine: the whole command line, program name first.
    // pszStorage: cchStorage characters that receive the arguments one
    // after another, each terminated; the command line's length plus one
    // always holds them all.
    CCommandArguments(const wchar_t* pszCommandLine, wchar_t* pszStorage, std::size_t cchStorage);

    // The next argument (terminated, in the storage, valid for the
    // storage's life); null when there is none left or the storage is full.
    const wchar_t* Next();
    // An argument did not fit the storage: the rest of the line is unread.
    bool Overflowed() const { return m_bOverflow; }

private:
    const wchar_t* m_p;
    wchar_t* m_pszStorage;
    std::size_t m_cchStorage;
    std::size_t m_cchUsed = 0;
    bool m_bOverflow = false;
};
