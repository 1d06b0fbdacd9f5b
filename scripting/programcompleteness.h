#pragma once
// Tells a program that is merely unfinished (a brace, bracket, parenthesis,
// string, template literal or block comment still open at its end) from one that
// may be evaluated. The script engine has no such check: it would report a
// syntax error with a position the operator cannot act on, where the console
// says the script is incomplete and runs nothing.
//
// This is a scanner, not a parser: it knows enough of the language's lexical
// grammar to skip over everything in which brackets and quotes do not count
// (strings, comments, template text, regular-expression literals). A program
// that is malformed in any other way (a stray or mismatched closing bracket, a
// bad token) is reported complete, so that the engine names the error.

#include <QString>

class ProgramCompleteness
{
public:
    enum Result {
        Complete,
        OpenBracket,  // a {, ( or [ without its closing partner
        OpenString,   // a quoted string not closed before its line ends
        OpenTemplate, // a template literal (or one of its ${...}) not closed
        OpenComment   // a block comment not closed
    };

    static Result check(const QString &program);
    static bool isIncomplete(const QString &program) { return check(program) != Complete; }
};
