// Tests of the program's place on the desktop: Qt's own texts in Russian after the start-up's translation
// setup, and the program's icon on every window.
#include "app/QtTranslations.h"
#include "app/WindowIcon.h"
#include "tests/support/TestMain.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {

bool qtCatalogueAvailable()
{
    return QFile::exists(QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath)).filePath(QStringLiteral("qtbase_ru.qm")))
        || QFile::exists(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations/qtbase_ru.qm")));
}

QStringList actionTexts(const QMenu &menu)
{
    QStringList texts;
    for (const QAction *action : menu.actions()) {
        if (!action->isSeparator())
            texts << action->text().remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0);
    }
    return texts;
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void qtTextsAreRussianAfterStartUp()
    {
        if (!qtCatalogueAvailable()) {
            qWarning("qtbase_ru.qm is missing (Debian: install qt6-translations-l10n); Qt's texts stay English");
            QSKIP("Qt's Russian catalogue qtbase_ru.qm is not installed");
        }
        QDialogButtonBox englishBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(englishBox.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancel"));

        QVERIFY(InstallQtTranslations());
        QVERIFY(InstalledQtTranslationsFile().endsWith(QStringLiteral("qtbase_ru.qm")));

        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Yes
                             | QDialogButtonBox::No);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
        QCOMPARE(box.button(QDialogButtonBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Да"));
        QCOMPARE(box.button(QDialogButtonBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("Нет"));

        QLineEdit edit(QStringLiteral("текст"));
        const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        const QStringList texts = actionTexts(*menu);
        QVERIFY2(texts.contains(QStringLiteral("Копировать")), qPrintable(texts.join(QLatin1Char('|'))));
        QVERIFY2(texts.contains(QStringLiteral("Вставить")), qPrintable(texts.join(QLatin1Char('|'))));
        QVERIFY2(!texts.contains(QStringLiteral("Copy")), qPrintable(texts.join(QLatin1Char('|'))));

        // A second start-up step in the same application adds no second catalogue.
        QVERIFY(InstallQtTranslations());
        QCOMPARE(qApp->findChildren<QTranslator *>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
    }

    void everyWindowCarriesTheProgramIcon()
    {
        const QIcon icon = ProgramIcon();
        QVERIFY(!icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        // Every size is drawn for itself and present in the resources, not scaled from another one.
        for (const int size : {16, 32, 48, 64, 128, 256}) {
            QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
            QCOMPARE(icon.pixmap(QSize(size, size)).size(), QSize(size, size));
        }

        InstallWindowIcon();
        QDialog dialog;
        QWidget window;
        for (const QWidget *shown : {static_cast<const QWidget *>(&dialog), static_cast<const QWidget *>(&window)}) {
            QVERIFY(!shown->windowIcon().isNull());
            QCOMPARE(shown->windowIcon().availableSizes(), sizes);
        }
    }
};

OLM_TEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
