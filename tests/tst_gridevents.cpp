// Tests of the grid behaviour component: its looks and repaints, attaching and giving back grids, switching
// it on and off, duplicate keys over a real dataset, and what it paints in a real grid (offscreen).
#include "tests/tst_gridevents_fixture.h"
#include "tests/support/TestMain.h"

#include <memory>
#include <utility>

namespace {

/// DuplicateList as the per-record filtered count of every record builds it.
QStringList scanRecordByRecord(TQZDBGridEvents &events, TDataSet &dataSet)
{
    events.DuplicateList().Clear();
    dataSet.First();
    while (!dataSet.Eof()) {
        events.CheckDuplicate();
        dataSet.Next();
    }
    return events.DuplicateList().toStringList();
}

} // namespace

class TestGridEvents : public QObject {
    Q_OBJECT

private slots:
    void attributesRepaintOnlyOnARealChange();
    void textPositions_data();
    void textPositions();
    void stringListFindsIgnoringCase();

    void duplicateKeyTexts_data();
    void duplicateKeyTexts();
    void keyFilterFindsExactlyTheRowsWithThatValue_data();
    void keyFilterFindsExactlyTheRowsWithThatValue();
    void activeScansForDuplicates_data();
    void activeScansForDuplicates();
    void emptyDuplicateFieldsScanNothing();
    void switchingOffForgetsMarksButNotPastedRows();
    void missingGridSourceOrDataSetAreReported();
    void failedOpenLeavesTheComponentOff();

    void attachingASecondGridGivesTheFirstBack();
    void destroyedGridFieldsAndListsAreForgotten();
    void keyDownReachesTheOwnerFirst();

    void duplicateRowsAreDrawnInTheDuplicateColour_data();
    void duplicateRowsAreDrawnInTheDuplicateColour();
    void duplicateBeatsErrorBeatsAfterPaste();
    void selectedAndFocusedCells();
    void rowBeingInsertedKeepsTheColumnLook();
};

void TestGridEvents::attributesRepaintOnlyOnARealChange()
{
    TQZDBGridEh grid;
    TQZDBGridEvents events;
    TQZDBAttributes &attrs = events.QZDBAttributes();

    // Without a grid a change repaints nothing and breaks nothing.
    attrs.ErrorAttr().setColor(clYellow);
    QCOMPARE(attrs.ErrorAttr().Color(), clYellow);

    const int beforeAttach = grid.invalidateCount();
    events.setDBGridEh(&grid);
    QVERIFY(grid.invalidateCount() > beforeAttach);

    int count = grid.invalidateCount();
    attrs.ErrorAttr().setColor(clYellow);
    QCOMPARE(grid.invalidateCount(), count);
    attrs.ErrorAttr().setColor(clRed);
    QCOMPARE(grid.invalidateCount(), count + 1);
    QCOMPARE(attrs.ErrorAttr().Color(), clRed);

    count = grid.invalidateCount();
    attrs.FixedAttr().setSelColor(clMoneyGreen);
    QCOMPARE(grid.invalidateCount(), count);
    attrs.FixedAttr().setSelColor(clSkyBlue);
    QCOMPARE(grid.invalidateCount(), count + 1);

    // Fonts are copied into the owned font, which stays the same object, and repaint.
    const TFont *owned = &attrs.DuplicateAttr().Font();
    TFont big(QStringLiteral("Arial"), 14, fsItalic);
    big.setColor(clNavy);
    count = grid.invalidateCount();
    attrs.DuplicateAttr().setFont(big);
    QVERIFY(grid.invalidateCount() > count);
    QCOMPARE(&attrs.DuplicateAttr().Font(), owned);
    QCOMPARE(attrs.DuplicateAttr().Font(), big);
    big.setColor(clRed);
    QCOMPARE(attrs.DuplicateAttr().Font().Color(), clNavy);

    count = grid.invalidateCount();
    attrs.FixedAttr().setList({QStringLiteral("ОЦЕНКА")});
    QVERIFY(grid.invalidateCount() > count);
    QCOMPARE(attrs.FixedAttr().List().toStringList(), QStringList{QStringLiteral("ОЦЕНКА")});
    count = grid.invalidateCount();
    attrs.FixedAttr().setSelFont(big);
    QVERIFY(grid.invalidateCount() > count);
    QCOMPARE(attrs.FixedAttr().SelFont(), big);
}

void TestGridEvents::textPositions_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QRect>("cell");
    QTest::addColumn<int>("textWidth");
    QTest::addColumn<int>("x");

    const QRect cell(QPoint(100, 10), QPoint(179, 27));   // x from 100 to 180, as the grid passes it
    QTest::newRow("right") << int(taRightJustify) << cell << 40 << 137;
    QTest::newRow("centre") << int(taCenter) << cell << 40 << 120;
    QTest::newRow("left") << int(taLeftJustify) << cell << 40 << 102;
    QTest::newRow("centre, odd widths truncate") << int(taCenter) << QRect(100, 10, 81, 18) << 41 << 120;
    QTest::newRow("right, text wider than the cell") << int(taRightJustify) << QRect(100, 10, 20, 18) << 40 << 77;
    QTest::newRow("centre, text wider than the cell") << int(taCenter) << QRect(100, 10, 20, 18) << 41 << 90;
    QTest::newRow("left, empty text") << int(taLeftJustify) << QRect(0, 0, 10, 10) << 0 << 2;
}

void TestGridEvents::textPositions()
{
    QFETCH(int, alignment);
    QFETCH(QRect, cell);
    QFETCH(int, textWidth);
    QFETCH(int, x);
    QCOMPARE(AlignedTextX(TAlignment(alignment), cell, textWidth), x);
    if (alignment == taRightJustify)
        QCOMPARE(RightTextX(cell, textWidth), x);
    if (alignment == taCenter)
        QCOMPARE(CenterTextX(cell, textWidth), x);
    // Vertically the line is centred the same way: 10 + 18 / 2 - 13 / 2.
    QCOMPARE(CenteredTextY(QRect(0, 10, 50, 18), 13), 13);
}

void TestGridEvents::stringListFindsIgnoringCase()
{
    TStringList list;
    QCOMPARE(list.Add(QStringLiteral("Ёлка")), 0);
    QCOMPARE(list.Add(QStringLiteral("abc")), 1);
    QCOMPARE(list.Add(QStringLiteral("ABC")), 2);   // repeated entries stay
    QCOMPARE(list.Count(), 3);
    QCOMPARE(list.IndexOf(QStringLiteral("ёЛКА")), 0);
    QCOMPARE(list.IndexOf(QStringLiteral("aBc")), 1);
    QCOMPARE(list.IndexOf(QStringLiteral("ab")), -1);
    list.Delete(1);
    QCOMPARE(list.IndexOf(QStringLiteral("abc")), 1);
    QCOMPARE(list.Strings(1), QStringLiteral("ABC"));
    list.Delete(7);
    list.Delete(-1);
    QCOMPARE(list.Count(), 2);
    list.Clear();
    QCOMPARE(list.IndexOf(QStringLiteral("abc")), -1);
}

void TestGridEvents::duplicateKeyTexts_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QList<MarkRow>>("rows");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("filter");

    const QStringList pair{QStringLiteral("id_discipline"), QStringLiteral("id_examination")};
    const QStringList withText{QStringLiteral("id_discipline"), QStringLiteral("p35")};
    QTest::newRow("integers") << pair << markRows({{12, 3, "a"}}) << "123"
                              << "id_discipline=12 and id_examination=3";
    QTest::newRow("null integer") << pair << markRows({{5, QVariant(), "a"}}) << "5"
                                  << "id_discipline=5 and id_examination=";
    QTest::newRow("quote in a text") << withText << markRows({{1, 2, "O'Brien"}}) << "1O'Brien"
                                     << "id_discipline=1 and p35='O''Brien'";
    QTest::newRow("quotes that would end the text")
        << withText << markRows({{1, 2, "x' or p35<>'"}}) << "1x' or p35<>'" << "id_discipline=1 and p35='x'' or p35<>'''";
    QTest::newRow("empty text") << withText << markRows({{1, 2, ""}}) << "1" << "id_discipline=1 and p35=''";
    QTest::newRow("null text") << withText << markRows({{1, 2, QVariant()}}) << "1" << "id_discipline=1 and p35=''";
    QTest::newRow("text ending in a star") << withText << markRows({{1, 2, "5*"}}) << "15*" << "id_discipline=1 and p35=5*";
    // Values shorter than the words "and" and "or", and values that begin like them.
    QTest::newRow("one letter and a star") << withText << markRows({{1, 2, "a*"}}) << "1a*" << "id_discipline=1 and p35=a*";
    QTest::newRow("the word or and a star") << withText << markRows({{1, 2, "or*"}}) << "1or*"
                                            << "id_discipline=1 and p35='or*'";
    QTest::newRow("the word and, in capitals") << withText << markRows({{1, 2, "AND*"}}) << "1AND*"
                                               << "id_discipline=1 and p35='AND*'";
    QTest::newRow("a word that begins like or") << withText << markRows({{1, 2, "order*"}}) << "1order*"
                                                << "id_discipline=1 and p35=order*";
    QTest::newRow("one-digit integers") << pair << markRows({{1, 2, "a"}}) << "12" << "id_discipline=1 and id_examination=2";
    QTest::newRow("date") << QStringList{QStringLiteral("p36")}
                          << markRows({{1, 2, "a", QDateTime(QDate(2020, 2, 1), QTime(0, 0))}}) << "01.02.2020"
                          << "p36=01.02.2020";
    QTest::newRow("date with a time of day") << QStringList{QStringLiteral("p36")}
                                             << markRows({{1, 2, "a", QDateTime(QDate(2020, 2, 1), QTime(10, 30))}})
                                             << "01.02.2020 10:30:00" << "p36='01.02.2020 10:30:00'";
    QTest::newRow("no fields") << QStringList() << markRows({{1, 2, "a"}}) << "" << "";
}

void TestGridEvents::duplicateKeyTexts()
{
    QFETCH(QStringList, fields);
    QFETCH(QList<MarkRow>, rows);
    QFETCH(QString, key);
    QFETCH(QString, filter);

    Journal journal(rows);
    VERIFY_JOURNAL(journal);
    journal.query.Open();
    journal.setDuplicateFields(fields);
    const TDuplicateKey built = journal.events->BuildDuplicateKey();
    QCOMPARE(built.Key, key);
    QCOMPARE(built.Filter, filter);

    // The dataset takes the filter and finds the row it was built from.
    if (!filter.isEmpty()) {
        journal.query.setFilter(built.Filter);
        journal.query.setFiltered(true);
        QCOMPARE(journal.query.RecordCount(), 1);
    }
}

void TestGridEvents::keyFilterFindsExactlyTheRowsWithThatValue_data()
{
    QTest::addColumn<QList<MarkRow>>("rows");
    QTest::addColumn<QStringList>("duplicates");

    QTest::newRow("quote") << markRows({{1, 1, "O'Brien"}, {1, 1, "O''Brien"}, {1, 1, "O'Brien"}, {1, 1, "OBrien"}})
                           << QStringList{"1O'Brien"};
    QTest::newRow("quotes cannot widen the filter")
        << markRows({{1, 1, "x' or p35<>'"}, {1, 1, "a"}, {1, 1, "a"}, {1, 1, "b"}}) << QStringList{"1a"};
    QTest::newRow("quotes cannot break the filter") << markRows({{1, 1, "'"}, {1, 1, "''"}, {1, 1, "'"}})
                                                    << QStringList{"1'"};
    QTest::newRow("empty and null texts are one value") << markRows({{1, 1, ""}, {1, 1, QVariant()}, {1, 1, "x"}})
                                                        << QStringList{"1"};
    QTest::newRow("letter case counts") << markRows({{1, 1, "abc"}, {1, 1, "ABC"}}) << QStringList();
    QTest::newRow("a star is no prefix") << markRows({{1, 1, "ab*"}, {1, 1, "abc"}, {1, 1, "ab"}}) << QStringList();
    QTest::newRow("equal texts ending in a star") << markRows({{1, 1, "ab*"}, {1, 1, "ab*"}}) << QStringList{"1ab*"};
    // A text with a blank must be quoted; a star inside the quotes still matches only itself.
    QTest::newRow("blank and star") << markRows({{1, 1, "a b*"}, {1, 1, "a bc"}, {1, 1, "a b"}}) << QStringList();
}

void TestGridEvents::keyFilterFindsExactlyTheRowsWithThatValue()
{
    QFETCH(QList<MarkRow>, rows);
    QFETCH(QStringList, duplicates);

    Journal journal(rows);
    VERIFY_JOURNAL(journal);
    journal.setDuplicateFields({QStringLiteral("id_discipline"), QStringLiteral("p35")});
    journal.events->setActive(true);
    QVERIFY(journal.events->Active());
    QCOMPARE(journal.events->DuplicateList().toStringList(), duplicates);
    QCOMPARE(scanRecordByRecord(*journal.events, journal.query), duplicates);
    QCOMPARE(journal.query.Filter(), QString());
    QVERIFY(!journal.query.Filtered());
}

void TestGridEvents::activeScansForDuplicates_data()
{
    QTest::addColumn<QList<MarkRow>>("rows");
    QTest::addColumn<QStringList>("duplicates");

    QTest::newRow("5/2 twice") << markRows({{5, 2, "a"}, {7, 1, "b"}, {5, 2, "c"}}) << QStringList{"52"};
    QTest::newRow("12/3 twice and 1/23") << markRows({{12, 3, "a"}, {12, 3, "b"}, {1, 23, "c"}}) << QStringList{"123"};
    // The key texts are equal, but the filter tells the values apart.
    QTest::newRow("12/3 and 1/23 once each") << markRows({{12, 3, "a"}, {1, 23, "b"}}) << QStringList();
    QTest::newRow("keys in the order first met")
        << markRows({{2, 2, "a"}, {1, 1, "b"}, {3, 3, "c"}, {1, 1, "d"}, {2, 2, "e"}, {2, 2, "f"}})
        << QStringList{"22", "11"};
    QTest::newRow("null twice") << markRows({{5, QVariant(), "a"}, {5, QVariant(), "b"}, {5, 0, "c"}})
                                << QStringList{"5"};
    QTest::newRow("null is not zero") << markRows({{5, QVariant(), "a"}, {5, 0, "b"}}) << QStringList();
    QTest::newRow("no rows") << QList<MarkRow>() << QStringList();
}

void TestGridEvents::activeScansForDuplicates()
{
    QFETCH(QList<MarkRow>, rows);
    QFETCH(QStringList, duplicates);

    Journal journal(rows);
    VERIFY_JOURNAL(journal);
    journal.setDuplicateFields({QStringLiteral("id_discipline"), QStringLiteral("id_examination")});
    journal.query.Open();
    journal.query.setFilter(QStringLiteral("id_discipline=5"));   // any earlier filter is dropped
    journal.query.Close();
    journal.events->DuplicateList().Add(QStringLiteral("stale"));

    journal.events->setActive(true);
    QVERIFY(journal.events->Active());
    QVERIFY(journal.query.Active());
    QVERIFY(!journal.query.ControlsDisabled());
    QCOMPARE(journal.events->DuplicateList().toStringList(), duplicates);
    QCOMPARE(journal.query.Filter(), QString());
    QVERIFY(!journal.query.Filtered());
    QCOMPARE(journal.query.RecordCount(), rows.size());
    QCOMPARE(journal.query.RecNo(), rows.isEmpty() ? 0 : 1);

    QCOMPARE(scanRecordByRecord(*journal.events, journal.query), duplicates);
}

void TestGridEvents::emptyDuplicateFieldsScanNothing()
{
    Journal journal(markRows({{5, 2, "a"}, {5, 2, "b"}}));
    VERIFY_JOURNAL(journal);
    journal.events->setActive(true);
    QVERIFY(journal.events->Active());
    QVERIFY(journal.query.Active());
    QCOMPARE(journal.events->DuplicateList().Count(), 0);
    journal.paint();
    QCOMPARE(journal.look(QStringLiteral("b"), "p35").brush, clWhite);
    QCOMPARE(journal.look(QStringLiteral("b"), "id_discipline").brush, clWhite);
}

void TestGridEvents::switchingOffForgetsMarksButNotPastedRows()
{
    Journal journal(markRows({{5, 2, "a"}, {5, 2, "b"}}));
    VERIFY_JOURNAL(journal);
    QList<quint16> errors;
    journal.events->OnQZDBEGridError = [&](QObject *, quint16 id) { errors.append(id); };
    journal.setDuplicateFields({QStringLiteral("id_discipline"), QStringLiteral("id_examination")});
    journal.events->setActive(true);
    QCOMPARE(journal.events->DuplicateList().Count(), 1);
    journal.events->ErrorList().Add(journal.idOf(QStringLiteral("a")));
    journal.events->AfterPasteList().Add(journal.idOf(QStringLiteral("b")));

    journal.events->setActive(false);
    QVERIFY(!journal.events->Active());
    QVERIFY(!journal.query.Active());
    QCOMPARE(journal.events->DuplicateList().Count(), 0);
    QCOMPARE(journal.events->ErrorList().Count(), 0);
    QCOMPARE(journal.events->AfterPasteList().Count(), 1);

    // Off again: nothing happens, not even to lists filled in between.
    journal.events->ErrorList().Add(QStringLiteral("7"));
    journal.query.Open();
    journal.events->setActive(false);
    QVERIFY(journal.query.Active());
    QCOMPARE(journal.events->ErrorList().Count(), 1);
    QVERIFY(errors.isEmpty());

    // On again: the dataset is scanned afresh, the pasted rows stay.
    journal.events->setActive(true);
    QCOMPARE(journal.events->DuplicateList().toStringList(), QStringList{"52"});
    QCOMPARE(journal.events->AfterPasteList().Count(), 1);
}

void TestGridEvents::missingGridSourceOrDataSetAreReported()
{
    Journal journal(markRows({{5, 2, "a"}}));
    VERIFY_JOURNAL(journal);
    TQZDBGridEvents &events = *journal.events;
    QList<quint16> errors;
    events.OnQZDBEGridError = [&](QObject *sender, quint16 id) {
        QCOMPARE(sender, &events);
        errors.append(id);
    };
    auto reported = [&] { return std::exchange(errors, {}); };

    // Switching on.
    events.setDBGridEh(nullptr);
    events.setActive(true);
    QVERIFY(!events.Active());
    QCOMPARE(reported(), QList<quint16>{qzeNoGrid});
    events.setDBGridEh(journal.grid);
    journal.grid->setDataSource(nullptr);
    events.setActive(true);
    QVERIFY(!events.Active());
    QCOMPARE(reported(), QList<quint16>{qzeNoDataSource});
    TDataSource empty;
    journal.grid->setDataSource(&empty);
    events.setActive(true);
    QVERIFY(!events.Active());
    QCOMPARE(reported(), QList<quint16>{qzeNoDataSet});
    QVERIFY(!journal.query.Active());

    // Switching off: Active ends false and the dataset stays as it was.
    journal.grid->setDataSource(&journal.source);
    events.setActive(true);
    QVERIFY(events.Active());
    journal.grid->setDataSource(nullptr);
    events.setActive(false);
    QVERIFY(!events.Active());
    QCOMPARE(reported(), QList<quint16>{qzeNoDataSource});
    QVERIFY(journal.query.Active());
    journal.grid->setDataSource(&journal.source);
    events.setActive(true);
    journal.grid->setDataSource(&empty);
    events.setActive(false);
    QCOMPARE(reported(), QList<quint16>{qzeNoDataSet});
    QVERIFY(journal.query.Active());
    // Without a grid switching off only stores the value.
    journal.grid->setDataSource(&journal.source);
    events.setActive(true);
    events.setDBGridEh(nullptr);
    events.setActive(false);
    QVERIFY(!events.Active());
    QVERIFY(reported().isEmpty());

    // The edit actions check grid, source, dataset, UniqueField and an open dataset, in this order.
    events.CopyRecords(false);
    QCOMPARE(reported(), QList<quint16>{qzeNoGrid});
    events.setDBGridEh(journal.grid);
    journal.grid->setDataSource(nullptr);
    events.CopyRecords(false);
    QCOMPARE(reported(), QList<quint16>{qzeNoDataSource});
    journal.grid->setDataSource(&empty);
    events.CopyRecords(false);
    QCOMPARE(reported(), QList<quint16>{qzeNoDataSet});
    journal.grid->setDataSource(&journal.source);
    journal.query.Close();
    events.CopyRecords(false);
    QCOMPARE(reported(), QList<quint16>{qzeNoUniqueField});
    events.setUniqueField(journal.field("id_mark_mag"));
    events.CopyRecords(false);
    QCOMPARE(reported(), QList<quint16>{qzeDataSetClosed});
    journal.query.Open();
    events.CopyRecords(false);
    QCOMPARE(reported(), QList<quint16>{qzeFinished});

    // Raised only when a handler is assigned.
    events.OnQZDBEGridError = nullptr;
    events.setDBGridEh(nullptr);
    events.setActive(true);
    events.CopyRecords(true);
    QVERIFY(!events.Active());
}

void TestGridEvents::failedOpenLeavesTheComponentOff()
{
    Journal journal(markRows({{5, 2, "a"}}));
    VERIFY_JOURNAL(journal);
    QList<quint16> errors;
    journal.events->OnQZDBEGridError = [&](QObject *, quint16 id) { errors.append(id); };
    journal.query.setSQLText(QStringLiteral("select * from no_such_table"));
    journal.events->setActive(true);
    QVERIFY(!journal.events->Active());
    QVERIFY(!journal.query.Active());
    QVERIFY(!journal.query.ControlsDisabled());
    QVERIFY(errors.isEmpty());
}

void TestGridEvents::attachingASecondGridGivesTheFirstBack()
{
    TQZDBGridEh first;
    TQZDBGridEh second;
    second.EditActions = geaCopyEh | geaPasteEh;
    bool formHandlerRan = false;
    second.OnKeyDown = [&](QObject *, quint16 &, TShiftState) { formHandlerRan = true; };
    TQZDBGridEvents events;
    QList<quint16> keys;
    events.OnKeyDown = [&](QObject *, quint16 &key, TShiftState) { keys.append(key); };

    events.setDBGridEh(&first);
    QVERIFY(!first.DefaultDrawing);
    QVERIFY(!(first.AllowedOperations & alopDeleteEh));
    QVERIFY(first.OnDrawColumnCell);

    events.setDBGridEh(&second);
    QCOMPARE(events.DBGridEh(), &second);
    QVERIFY(first.DefaultDrawing);
    QVERIFY(first.AllowedOperations & alopDeleteEh);
    QCOMPARE(first.EditActions, 0);
    QVERIFY(!first.OnDrawColumnCell);
    QVERIFY(!first.OnKeyDown);
    QVERIFY(!second.DefaultDrawing);
    QVERIFY(!(second.AllowedOperations & alopDeleteEh));
    QCOMPARE(second.EditActions, 0);
    // The form's own handler on the grid is replaced by the component's, which calls the form's through the component.
    quint16 key = VK_F2;
    second.OnKeyDown(&second, key, {});
    QVERIFY(!formHandlerRan);
    QCOMPARE(keys, QList<quint16>{VK_F2});

    TQZDBAttributes &attrs = events.QZDBAttributes();
    for (const TQZDBGridAttr *attr : {&attrs.SelAttr(), &attrs.AfterPasteAttr(), &attrs.DuplicateAttr(),
                                      &attrs.ErrorAttr(), &attrs.FocusedAttr()})
        QCOMPARE(attr->Grid(), &second);
    QCOMPARE(attrs.FixedAttr().Grid(), &second);
    const int firstCount = first.invalidateCount();
    const int secondCount = second.invalidateCount();
    attrs.SelAttr().setColor(clSilver);
    QCOMPARE(first.invalidateCount(), firstCount);
    QCOMPARE(second.invalidateCount(), secondCount + 1);

    // The same grid again changes nothing; null gives the grid back.
    events.setDBGridEh(&second);
    QVERIFY(!second.DefaultDrawing);
    events.setDBGridEh(nullptr);
    QVERIFY(second.DefaultDrawing);
    QVERIFY(second.AllowedOperations & alopDeleteEh);
    QVERIFY(!second.OnKeyDown);
    QVERIFY(!attrs.SelAttr().Grid());
}

void TestGridEvents::destroyedGridFieldsAndListsAreForgotten()
{
    auto grid = std::make_unique<TQZDBGridEh>();
    TQZDBGridEvents events;
    events.setDBGridEh(grid.get());
    grid.reset();
    QVERIFY(!events.DBGridEh());
    QVERIFY(!events.QZDBAttributes().SelAttr().Grid());
    QVERIFY(!events.QZDBAttributes().FixedAttr().Grid());
    events.QZDBAttributes().SelAttr().setColor(clSilver);   // repaints nothing, and does not crash
    QList<quint16> errors;
    events.OnQZDBEGridError = [&](QObject *, quint16 id) { errors.append(id); };
    events.setActive(true);
    QCOMPARE(errors, QList<quint16>{qzeNoGrid});

    // Fields made at open go away at close; the component must not keep them.
    Journal journal(markRows({{5, 2, "a"}, {5, 2, "b"}}), false);
    VERIFY_JOURNAL(journal);
    journal.query.Open();
    journal.events->setUniqueField(journal.field("id_mark_mag"));
    journal.setDuplicateFields({QStringLiteral("id_discipline"), QStringLiteral("id_examination")});
    journal.events->DuplicateFields().Add(journal.field("id_discipline"));
    QCOMPARE(journal.events->DuplicateFields().Count(), 3);
    journal.query.Close();
    QVERIFY(!journal.events->UniqueField());
    QCOMPARE(journal.events->DuplicateFields().Count(), 0);
    journal.events->setActive(true);
    QVERIFY(journal.events->Active());
    QCOMPARE(journal.events->DuplicateList().Count(), 0);
}

void TestGridEvents::keyDownReachesTheOwnerFirst()
{
    Journal journal(markRows({{5, 2, "a"}}));
    VERIFY_JOURNAL(journal);
    journal.events->setActive(true);
    journal.paint();
    QList<QPair<quint16, TShiftState>> seen;
    journal.events->OnKeyDown = [&](QObject *sender, quint16 &key, TShiftState shift) {
        QCOMPARE(sender, journal.grid);
        if (key != VK_CONTROL)   // the modifier's own key-down
            seen.append({key, shift});
    };
    journal.grid->setFocus();
    QTest::keyClick(journal.grid, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(journal.grid, Qt::Key_Delete);
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen.at(0).first, quint16(0x43));
    QVERIFY(seen.at(0).second.testFlag(ssCtrl));
    QCOMPARE(seen.at(1).first, VK_DELETE);
    QVERIFY(!seen.at(1).second.testFlag(ssCtrl));
}

void TestGridEvents::duplicateRowsAreDrawnInTheDuplicateColour_data()
{
    QTest::addColumn<QList<MarkRow>>("rows");
    QTest::addColumn<QStringList>("duplicateRows");

    QTest::newRow("5/2 twice") << markRows({{9, 9, "x"}, {5, 2, "a"}, {7, 1, "b"}, {5, 2, "c"}})
                               << QStringList{"a", "c"};
    QTest::newRow("12/3 twice and 1/23") << markRows({{9, 9, "x"}, {12, 3, "a"}, {12, 3, "b"}, {1, 23, "c"}})
                                         << QStringList{"a", "b", "c"};
}

void TestGridEvents::duplicateRowsAreDrawnInTheDuplicateColour()
{
    QFETCH(QList<MarkRow>, rows);
    QFETCH(QStringList, duplicateRows);

    Journal journal(rows);
    VERIFY_JOURNAL(journal);
    journal.setDuplicateFields({QStringLiteral("id_discipline"), QStringLiteral("id_examination")});
    journal.events->setActive(true);
    QCOMPARE(journal.query.RecNo(), 1);   // the current row is "x", the only row that is no duplicate
    const QImage shot = journal.paint();
    const QPoint viewport = journal.grid->viewport()->pos();
    for (const MarkRow &row : rows) {
        const QString name = row.p35.toString();
        if (name == QLatin1String("x"))
            continue;
        const TColor expected = duplicateRows.contains(name) ? clGreen : clWhite;
        for (const char *column : {"id_discipline", "id_examination", "p35"}) {
            const Look look = journal.look(name, column);
            QCOMPARE(look.state, 0);
            QCOMPARE(look.brush, expected);
        }
        // The cell on the screen has that colour where no text is.
        const Look look = journal.look(name, "p35");
        const QPoint corner = look.rect.topLeft() + viewport + QPoint(look.rect.width() - 3, 1);
        QCOMPARE(QColorToColor(shot.pixelColor(corner)), expected);
    }
}

void TestGridEvents::duplicateBeatsErrorBeatsAfterPaste()
{
    Journal journal(markRows({{9, 9, "x"}, {5, 2, "dup"}, {5, 2, "dup+error"}, {1, 1, "error+pasted"},
                              {2, 2, "pasted"}, {3, 3, "plain"}}));
    VERIFY_JOURNAL(journal);
    TQZDBGridEvents &events = *journal.events;
    TFont errorFont(QStringLiteral("Arial"), 15, fsItalic);
    errorFont.setColor(clYellow);
    events.QZDBAttributes().ErrorAttr().setFont(errorFont);
    journal.setDuplicateFields({QStringLiteral("id_discipline"), QStringLiteral("id_examination")});
    events.setActive(true);
    events.ErrorList().Add(journal.idOf(QStringLiteral("dup+error")));
    events.ErrorList().Add(journal.idOf(QStringLiteral("error+pasted")));
    events.AfterPasteList().Add(journal.idOf(QStringLiteral("error+pasted")));
    events.AfterPasteList().Add(journal.idOf(QStringLiteral("pasted")));

    // Without UniqueField the error and pasted lists are not consulted.
    journal.paint();
    QCOMPARE(journal.look(QStringLiteral("dup+error"), "p35").brush, clGreen);
    QCOMPARE(journal.look(QStringLiteral("error+pasted"), "p35").brush, clWhite);
    QCOMPARE(journal.look(QStringLiteral("pasted"), "p35").brush, clWhite);

    events.setUniqueField(journal.field("id_mark_mag"));
    journal.paint();
    QCOMPARE(journal.look(QStringLiteral("dup"), "p35").brush, clGreen);
    QCOMPARE(journal.look(QStringLiteral("dup+error"), "id_discipline").brush, clGreen);
    QCOMPARE(journal.look(QStringLiteral("dup+error"), "p35").font, events.QZDBAttributes().DuplicateAttr().Font());
    const Look error = journal.look(QStringLiteral("error+pasted"), "id_examination");
    QCOMPARE(error.brush, clRed);
    QCOMPARE(error.font, errorFont);   // every font property, size included, replaces the column's
    QCOMPARE(journal.look(QStringLiteral("pasted"), "p35").brush, clInfoBk);
    QCOMPARE(journal.look(QStringLiteral("plain"), "p35").brush, clWhite);
    QCOMPARE(journal.look(QStringLiteral("plain"), "p35").font, journal.grid->Columns(2)->Font);
}

void TestGridEvents::selectedAndFocusedCells()
{
    Journal journal(markRows({{5, 2, "current"}, {5, 2, "selected"}, {3, 3, "plain"}}));
    VERIFY_JOURNAL(journal);
    TQZDBGridEvents &events = *journal.events;
    TQZDBAttributes &attrs = events.QZDBAttributes();
    attrs.SelAttr().setColor(clSilver);
    attrs.FixedAttr().setList({QStringLiteral("ФОРМА")});   // the title is "Форма"
    journal.setDuplicateFields({QStringLiteral("id_discipline"), QStringLiteral("id_examination")});
    events.setActive(true);
    journal.grid->setSelectedIndex(2);   // current cell: p35 of the first row
    journal.select(QStringLiteral("selected"));

    journal.paint();
    // A selected duplicate row is drawn as selected, in the listed column with the fixed look.
    Look look = journal.look(QStringLiteral("selected"), "id_discipline");
    QCOMPARE(look.state, TGridDrawState(gdSelected));
    QCOMPARE(look.brush, clSilver);
    QCOMPARE(look.font, attrs.SelAttr().Font());
    look = journal.look(QStringLiteral("selected"), "id_examination");
    QCOMPARE(look.brush, clMoneyGreen);
    QCOMPARE(look.font, attrs.FixedAttr().SelFont());
    // The current cell is focused; the rest of its row is a plain duplicate.
    look = journal.look(QStringLiteral("current"), "p35");
    QCOMPARE(look.state, gdSelected | gdFocused);
    QCOMPARE(look.brush, TColor(0x4F4F4F));
    QCOMPARE(look.font.Color(), clWhite);
    QVERIFY(look.font.Style().testFlag(fsBold));
    QCOMPARE(journal.look(QStringLiteral("current"), "id_discipline").brush, clGreen);
    QCOMPARE(journal.look(QStringLiteral("plain"), "p35").brush, clWhite);

    // With the editor always shown and nothing selected the current cell keeps the column's look...
    journal.grid->SelectedRows().Clear();
    journal.grid->setOptions(journal.grid->Options | dgAlwaysShowEditor);
    journal.paint();
    look = journal.look(QStringLiteral("current"), "p35");
    QCOMPARE(look.state, gdSelected | gdFocused);
    QCOMPARE(look.brush, clWhite);
    QCOMPARE(look.font, journal.grid->Columns(2)->Font);
    // ...until one row is selected.
    journal.select(QStringLiteral("plain"));
    journal.paint();
    QCOMPARE(journal.look(QStringLiteral("current"), "p35").brush, TColor(0x4F4F4F));
    QCOMPARE(journal.look(QStringLiteral("plain"), "p35").brush, clSilver);
}

void TestGridEvents::rowBeingInsertedKeepsTheColumnLook()
{
    Journal journal(markRows({{5, 2, "first"}, {5, 2, "selected"}, {3, 3, "plain"}}));
    VERIFY_JOURNAL(journal);
    TQZDBGridEvents &events = *journal.events;
    events.QZDBAttributes().SelAttr().setColor(clSilver);
    journal.grid->OptionsEh |= dghRowHighlight;
    journal.setDuplicateFields({QStringLiteral("id_discipline"), QStringLiteral("id_examination")});
    events.setActive(true);
    journal.grid->setSelectedIndex(2);

    // Nothing selected: the whole new row, the current cell too, keeps the column's look.
    journal.query.Insert();   // the new row: p35 empty, current
    QCOMPARE(journal.query.State(), dsInsert);
    journal.paint();
    const Look current = journal.look(QString(), "p35");
    QCOMPARE(current.state, gdSelected | gdFocused);
    QCOMPARE(current.brush, clWhite);
    const Look other = journal.look(QString(), "id_discipline");
    QCOMPARE(other.state, TGridDrawState(gdSelected));
    QCOMPARE(other.brush, clWhite);
    journal.query.Cancel();

    // A selected row: without the editor option the new row's other cells and the selected row are drawn
    // as selected; with it both keep the column's look. The current cell of a new row never is focused.
    journal.select(QStringLiteral("selected"));
    journal.query.Insert();
    journal.paint();
    QCOMPARE(journal.look(QString(), "p35").brush, clWhite);
    QCOMPARE(journal.look(QString(), "id_discipline").brush, clSilver);
    QCOMPARE(journal.look(QStringLiteral("selected"), "p35").state, TGridDrawState(gdSelected));
    QCOMPARE(journal.look(QStringLiteral("selected"), "p35").brush, clSilver);
    journal.grid->setOptions(journal.grid->Options | dgAlwaysShowEditor);
    QCOMPARE(journal.query.State(), dsInsert);
    journal.paint();
    QCOMPARE(journal.look(QString(), "p35").brush, clWhite);
    QCOMPARE(journal.look(QString(), "id_discipline").brush, clWhite);
    QCOMPARE(journal.look(QStringLiteral("selected"), "p35").brush, clWhite);
    journal.query.Cancel();
}

OLM_TEST_MAIN(TestGridEvents)
#include "tst_gridevents.moc"
