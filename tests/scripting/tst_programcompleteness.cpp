// Unfinished programs are told from complete ones, whatever brackets and quotes
// hide inside strings, comments, template literals and regular expressions.

#include "programcompleteness.h"
#include "testenv.h"

#include <QtTest>

class TestProgramCompleteness : public QObject
{
    Q_OBJECT

private slots:
    void check_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("result");
        const int complete = ProgramCompleteness::Complete;
        const int bracket = ProgramCompleteness::OpenBracket;
        const int string = ProgramCompleteness::OpenString;
        const int templ = ProgramCompleteness::OpenTemplate;
        const int comment = ProgramCompleteness::OpenComment;

        QTest::newRow("empty") << QString() << complete;
        QTest::newRow("expression") << "1 + 1" << complete;
        QTest::newRow("nested blocks") << "function f(a) { if (a) { return [a, (a)]; } }\nf(1)" << complete;
        QTest::newRow("unclosed brace") << "for (var i = 0; i < 3; ++i) {\n script.print(i);\n" << bracket;
        QTest::newRow("unclosed call") << "script.print(1" << bracket;
        QTest::newRow("unclosed array") << "var a = [1, 2" << bracket;
        // Malformed rather than unfinished: the engine names the error.
        QTest::newRow("stray closer") << "1 }" << complete;
        QTest::newRow("mismatched closer") << "f(1]" << complete;

        QTest::newRow("brace in strings") << "var s = \"{\" + '(' + \"[\";" << complete;
        QTest::newRow("escaped quotes") << "var s = 'it\\'s {'; var t = \"say \\\"}\\\"\";" << complete;
        QTest::newRow("unclosed double quote") << "script.print(\"abc)" << string;
        QTest::newRow("unclosed single quote") << "var s = 'abc" << string;
        QTest::newRow("string ends in escaped quote") << "var s = 'abc\\'" << string;
        QTest::newRow("string broken by line end") << "var s = 'abc\n';" << string;
        QTest::newRow("string continued by backslash") << "var s = 'abc\\\ndef';" << complete;

        QTest::newRow("brace in line comment") << "// {\n1" << complete;
        QTest::newRow("quote in block comment") << "/* don't { */ 1" << complete;
        QTest::newRow("unclosed block comment") << "1 /* note" << comment;
        QTest::newRow("comment then division") << "var x = 4 /* half */ / 2; // }" << complete;

        QTest::newRow("template with braces") << "`a { ${ {x: 1}.x } b }`" << complete;
        QTest::newRow("template nested") << "`a ${ `b ${ '}' } c` } d`" << complete;
        QTest::newRow("template over lines") << "var t = `line\n{ line`;" << complete;
        QTest::newRow("template escaped backtick") << "`a \\` {`" << complete;
        QTest::newRow("unclosed template") << "var t = `abc" << templ;
        QTest::newRow("unclosed substitution") << "var t = `a ${ b" << templ;

        QTest::newRow("regexp with brace and slash") << "var r = /[{/]\\//g; r.test('{')" << complete;
        QTest::newRow("regexp with quote") << "var r = /\"/; r.test(s)" << complete;
        QTest::newRow("regexp after return") << "function f(s) { return /}/.test(s); }" << complete;
        QTest::newRow("regexp after if condition") << "if (x) /'/.test(s)" << complete;
        QTest::newRow("regexp after block") << "{}\n/'{/.test(s)" << complete;
        QTest::newRow("division not regexp") << "var a = b / c / d; {" << bracket;
        QTest::newRow("division after call") << "var a = f(1) / 2, b = '/'; (" << bracket;
        QTest::newRow("division after increment") << "a++ / 2; [" << bracket;
        QTest::newRow("regexp then open brace") << "var r = /[/]/; {" << bracket;
        QTest::newRow("property named like a keyword") << "var a = o.return / 2 / 1; {" << bracket;
        QTest::newRow("hashbang line") << "#!/usr/bin/env cratectl '\n1" << complete;
    }

    void check()
    {
        QFETCH(QString, program);
        QFETCH(int, result);
        QCOMPARE(int(ProgramCompleteness::check(program)), result);
        QCOMPARE(ProgramCompleteness::isIncomplete(program), result != ProgramCompleteness::Complete);
    }
};

VEXA_TEST_GUILESS_MAIN(TestProgramCompleteness)
#include "tst_programcompleteness.moc"
