// The text forms the client and the server share: the Windows-1251 codec, which refuses what the code page
// cannot carry, and the doubling of single quotes in statement literals.
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

OLM_TEST_GUILESS_MAIN(TestText)
#include "tst_text.moc"
