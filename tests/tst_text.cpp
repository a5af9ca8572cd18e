// The text forms the client and the server share: the Windows-1251 codec, which refuses what the code page
// cannot carry, the doubling of single quotes in statement literals, and the CSV reader.
#include "text/CsvReader.h"
#include "text/SingleQuotes.h"
#include "text/Windows1251.h"
#include "tests/support/TestMain.h"

#include <QTest>

using namespace olm::text;

class TestText : public QObject {
    Q_OBJECT

private slots:
    void carriesCyrillic();
    void roundTripsEveryByte();
    void refusesWhatItCannotCarry_data();
    void refusesWhatItCannotCarry();
    void refusalMessage();
    void quotesDoubled_data();
    void quotesDoubled();
    void csvRecords_data();
    void csvRecords();
    void csvDecoding();
};

void TestText::carriesCyrillic()
{
    const QString text = QStringLiteral("Учет успеваемости Ёё №");
    const auto bytes = toWindows1251(text);
    QVERIFY(bytes);
    QCOMPARE(bytes->size(), text.size());
    QCOMPARE(bytes->left(4), QByteArray("\xD3\xF7\xE5\xF2"));
    QCOMPARE(bytes->right(4), QByteArray("\xA8\xB8\x20\xB9"));
    QCOMPARE(fromWindows1251(*bytes), text);
    QCOMPARE(firstCharacterOutsideWindows1251(text), QString());
}

void TestText::roundTripsEveryByte()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(static_cast<char>(i));
    const QString text = fromWindows1251(all);
    QCOMPARE(text.size(), 256);
    const auto bytes = toWindows1251(text);
    QVERIFY(bytes);
    QCOMPARE(*bytes, all);
}

void TestText::refusesWhatItCannotCarry_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("outside");
    QTest::newRow("Latin letter with a diaeresis") << QStringLiteral("päss") << QStringLiteral("ä");
    QTest::newRow("CJK") << QStringLiteral("a中b") << QStringLiteral("中");
    QTest::newRow("outside the BMP, whole") << QStringLiteral("x\U0001F600y") << QStringLiteral("\U0001F600");
    QTest::newRow("a lone surrogate") << QString(QChar(0xD800)) << QString(QChar(0xD800));
    QTest::newRow("the first of several") << QStringLiteral("\x1Aé中") << QStringLiteral("é");
}

// Nothing is put in the place of what the code page lacks: a "?" would make "päss" digest as "p?ss".
void TestText::refusesWhatItCannotCarry()
{
    QFETCH(QString, text);
    QFETCH(QString, outside);
    QVERIFY(!toWindows1251(text));
    QCOMPARE(firstCharacterOutsideWindows1251(text), outside);
    QCOMPARE(toWindows1251(QStringLiteral("p?ss")).value_or(QByteArray()), QByteArray("p?ss"));
}

void TestText::refusalMessage()
{
    QCOMPARE(outsideWindows1251Message(QStringLiteral("Пароль")),
             QStringLiteral("Пароль содержит символ, которого нет в кодировке Windows-1251."));
    QCOMPARE(outsideWindows1251Message(QStringLiteral("Значение"), QStringLiteral("中")),
             QStringLiteral("Значение содержит символ «中», которого нет в кодировке Windows-1251."));
}

void TestText::quotesDoubled_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("doubled");
    QTest::newRow("empty") << "" << "";
    QTest::newRow("plain") << "mark_mag" << "mark_mag";
    QTest::newRow("quotes") << "O'B''" << "O''B''''";
    QTest::newRow("a statement inside") << "x'); DROP TABLE t; --" << "x''); DROP TABLE t; --";
}

void TestText::quotesDoubled()
{
    QFETCH(QString, text);
    QFETCH(QString, doubled);
    QCOMPARE(doubleSingleQuotes(text), doubled);
    QCOMPARE(singleQuotedLiteral(text), QLatin1Char('\'') + doubled + QLatin1Char('\''));
}

void TestText::csvRecords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("records"); // "line:field|field" per record, joined by " / "; or the error
    QTest::newRow("plain, no final line break") << "a,b\n1,2" << "1:a|b / 2:1|2";
    QTest::newRow("CRLF, CR and blank lines") << "a,b\r\n\r\n1,2\r3,4\r\n\r\n" << "1:a|b / 3:1|2 / 4:3|4";
    QTest::newRow("quotes, doubled quotes, empty fields") << "\"x, y\",\"say \"\"hi\"\"\",,\"\"" << "1:x, y|say \"hi\"||";
    QTest::newRow("line break inside quotes keeps the record's line")
        << "h\n\"two\nlines\"\nnext" << "1:h / 2:two\nlines / 4:next";
    QTest::newRow("a quoted empty field is a record") << "h\n\"\"\n" << "1:h / 2:";
    QTest::newRow("semicolons when the header has more") << "a;b,c;d\n1;2,5;3" << "1:a|b,c|d / 2:1|2,5|3";
    QTest::newRow("a quoted semicolon does not count") << "\"a;b;c\",d\n1,2" << "1:a;b;c|d / 2:1|2";
    QTest::newRow("stray quote") << "a\nb\"c" << "line 2: a double quote inside a field that does not start with one; "
                                                  "enclose the field in double quotes and double the quote.";
    QTest::newRow("text after the closing quote") << "a\n\"b\" ,c" << "line 2: text after the closing double quote of a field.";
    QTest::newRow("unclosed") << "a\n\"b\n\nc" << "line 2: a quoted field that starts here is not closed.";
}

void TestText::csvRecords()
{
    QFETCH(QString, text);
    QFETCH(QString, records);
    QString error;
    const auto read = readCsvRecords(text, &error);
    QStringList shown;
    for (const CsvRecord &record : read.value_or(QList<CsvRecord>{}))
        shown.append(QString::number(record.line) + QLatin1Char(':') + record.fields.join(QLatin1Char('|')));
    QCOMPARE(read ? shown.join(QStringLiteral(" / ")) : error, records);
}

void TestText::csvDecoding()
{
    const QString cyrillic = QStringLiteral("имя,группа\nЁлкин,ПИ-21\n");
    const QByteArray single = toWindows1251(cyrillic).value();
    QString error;
    QCOMPARE(decodeCsvText(cyrillic.toUtf8(), CsvEncoding::Detect, &error), cyrillic);
    QCOMPARE(decodeCsvText("\xEF\xBB\xBF" + cyrillic.toUtf8(), CsvEncoding::Detect, &error), cyrillic);
    QCOMPARE(decodeCsvText(single, CsvEncoding::Detect, &error), cyrillic);
    QCOMPARE(decodeCsvText(single, CsvEncoding::Windows1251, &error), cyrillic);
    // UTF-8 that also reads as Windows-1251 is taken for what it says it is only when told.
    QCOMPARE(decodeCsvText(cyrillic.toUtf8(), CsvEncoding::Windows1251, &error), fromWindows1251(cyrillic.toUtf8()));
    QVERIFY(!decodeCsvText(single, CsvEncoding::Utf8, &error));
    QCOMPARE(error, QStringLiteral("line 1: the text is not UTF-8; give the file's encoding with --encoding."));
    // A byte-order mark says UTF-8: what follows must be.
    QVERIFY(!decodeCsvText(QByteArray("\xEF\xBB\xBF" "a\n") + single, CsvEncoding::Detect, &error));
    QCOMPARE(error, QStringLiteral("line 2: the text is not UTF-8; give the file's encoding with --encoding."));
    QCOMPARE(csvEncodingNamed(QStringLiteral("UTF-8")), CsvEncoding::Utf8);
    QCOMPARE(csvEncodingNamed(QStringLiteral("cp1251")), CsvEncoding::Windows1251);
    QVERIFY(!csvEncodingNamed(QStringLiteral("koi8-r")));
}

OLM_TEST_GUILESS_MAIN(TestText)
#include "tst_text.moc"
