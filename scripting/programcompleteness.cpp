#include "programcompleteness.h"

#include <QStringView>
#include <QVector>

namespace {

bool isLineTerminator(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0x2028) || c == QChar(0x2029);
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c == QLatin1Char('\\') ||
           c.category() == QChar::Mark_NonSpacing || c.category() == QChar::Mark_SpacingCombining;
}

// Words after which a '/' starts a regular expression rather than a division.
bool wordPrecedesExpression(QStringView word)
{
    static const char *const words[] = {"return", "typeof", "instanceof", "in",    "of",    "new",  "delete",
                                        "void",   "throw",  "case",       "do",    "else",  "yield", "await"};
    for (const char *w : words)
        if (word == QLatin1String(w))
            return true;
    return false;
}

// Words whose parenthesis is followed by a statement: after its ')' a '/' starts
// a regular expression ("if (x) /a/.test(s)").
bool wordTakesCondition(QStringView word)
{
    return word == QLatin1String("if") || word == QLatin1String("while") || word == QLatin1String("for") ||
           word == QLatin1String("with");
}

struct Open {
    QChar bracket;        // '{', '(', '[', or '$' for the ${ of a template
    bool condition = false; // a '(' after if/while/for/with
};

} // namespace

ProgramCompleteness::Result ProgramCompleteness::check(const QString &program)
{
    const QChar *s = program.constData();
    const int n = program.size();
    QVector<Open> open;
    bool inTemplateText = false;
    // At the start of the program, and after an operator or an opening bracket, a
    // '/' starts a regular expression.
    bool regexAllowed = true;
    bool afterDot = false;
    QStringView lastWord;

    int i = 0;
    // A "#!" line at the very start is a comment.
    if (n >= 2 && s[0] == QLatin1Char('#') && s[1] == QLatin1Char('!'))
        while (i < n && !isLineTerminator(s[i]))
            ++i;

    while (i < n) {
        const QChar c = s[i];
        const QChar next = i + 1 < n ? s[i + 1] : QChar();

        if (inTemplateText) {
            if (c == QLatin1Char('\\')) {
                i += 2;
            } else if (c == QLatin1Char('`')) {
                inTemplateText = false;
                regexAllowed = false;
                ++i;
            } else if (c == QLatin1Char('$') && next == QLatin1Char('{')) {
                open.append({QLatin1Char('$')});
                inTemplateText = false;
                regexAllowed = true;
                i += 2;
            } else {
                ++i;
            }
            continue;
        }

        if (c.isSpace() || isLineTerminator(c)) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('/') && next == QLatin1Char('/')) {
            while (i < n && !isLineTerminator(s[i]))
                ++i;
            continue;
        }
        if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            const int end = program.indexOf(QLatin1String("*/"), i + 2);
            if (end < 0)
                return OpenComment;
            i = end + 2;
            continue;
        }

        const bool wasAfterDot = afterDot;
        afterDot = false;
        const QStringView word = lastWord;
        lastWord = QStringView();

        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            int j = i + 1;
            for (;;) {
                if (j >= n || isLineTerminator(s[j]))
                    return OpenString;
                if (s[j] == QLatin1Char('\\')) {
                    // An escaped line end continues the string on the next line.
                    if (j + 2 < n && s[j + 1] == QLatin1Char('\r') && s[j + 2] == QLatin1Char('\n'))
                        ++j;
                    j += 2;
                    continue;
                }
                if (s[j] == c)
                    break;
                ++j;
            }
            i = j + 1;
            regexAllowed = false;
            continue;
        }
        if (c == QLatin1Char('`')) {
            inTemplateText = true;
            ++i;
            continue;
        }
        if (c == QLatin1Char('{') || c == QLatin1Char('(') || c == QLatin1Char('[')) {
            open.append({c, c == QLatin1Char('(') && wordTakesCondition(word)});
            regexAllowed = true;
            ++i;
            continue;
        }
        if (c == QLatin1Char('}') || c == QLatin1Char(')') || c == QLatin1Char(']')) {
            const QChar partner = c == QLatin1Char('}') ? QLatin1Char('{')
                                  : c == QLatin1Char(')') ? QLatin1Char('(')
                                                          : QLatin1Char('[');
            // A stray or mismatched closer is an error, not an unfinished program:
            // the engine reports it.
            if (open.isEmpty())
                return Complete;
            const Open top = open.takeLast();
            if (c == QLatin1Char('}') && top.bracket == QLatin1Char('$')) {
                inTemplateText = true;
                ++i;
                continue;
            }
            if (top.bracket != partner)
                return Complete;
            // After a block a regular expression may follow; after a value in
            // parentheses or brackets a '/' divides.
            regexAllowed = c == QLatin1Char('}') || top.condition;
            ++i;
            continue;
        }
        if (c == QLatin1Char('/')) {
            if (!regexAllowed) {
                ++i;
                regexAllowed = true;
                continue;
            }
            // A regular-expression literal: '/' inside a class does not end it.
            int j = i + 1;
            bool inClass = false;
            while (j < n && !isLineTerminator(s[j])) {
                const QChar r = s[j];
                if (r == QLatin1Char('\\')) {
                    j += 2;
                    continue;
                }
                if (inClass) {
                    if (r == QLatin1Char(']'))
                        inClass = false;
                } else if (r == QLatin1Char('[')) {
                    inClass = true;
                } else if (r == QLatin1Char('/')) {
                    break;
                }
                ++j;
            }
            // One not closed on its line is the engine's to report.
            if (j < n && s[j] == QLatin1Char('/')) {
                ++j;
                while (j < n && isWordChar(s[j]))
                    ++j;
            }
            i = j;
            regexAllowed = false;
            continue;
        }
        if (isWordChar(c) || c.isHighSurrogate()) {
            int j = i;
            while (j < n && (isWordChar(s[j]) || s[j].isSurrogate()))
                ++j;
            lastWord = QStringView(s + i, j - i);
            regexAllowed = !wasAfterDot && wordPrecedesExpression(lastWord);
            i = j;
            continue;
        }
        if ((c == QLatin1Char('+') || c == QLatin1Char('-')) && next == c) {
            // "a++ / b" divides, "x = ++a" is followed by an operand anyway.
            i += 2;
            continue;
        }
        // Any other punctuator: an operand follows.
        afterDot = c == QLatin1Char('.');
        regexAllowed = true;
        ++i;
    }

    if (inTemplateText)
        return OpenTemplate;
    for (const Open &o : open)
        if (o.bracket == QLatin1Char('$'))
            return OpenTemplate;
    return open.isEmpty() ? Complete : OpenBracket;
}
