// Loads Qt's Russian catalogue once per application, from beside the executable or from Qt's folder.
#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace {

const QString kQtTranslatorName = QStringLiteral("olmQtTranslations");
const QString kQtCatalogue = QStringLiteral("qtbase_ru");

QTranslator *installedQtTranslator()
{
    QCoreApplication *application = QCoreApplication::instance();
    return application ? application->findChild<QTranslator *>(kQtTranslatorName, Qt::FindDirectChildrenOnly)
                       : nullptr;
}

} // namespace

bool InstallQtTranslations()
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application)
        return false;
    if (installedQtTranslator())
        return true;
    const QStringList folders{
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations")),
        QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    auto translator = std::make_unique<QTranslator>();
    for (const QString &folder : folders) {
        if (translator->load(kQtCatalogue, folder)) {
            translator->setObjectName(kQtTranslatorName);
            translator->setParent(application);
            return QCoreApplication::installTranslator(translator.release());
        }
    }
    return false;
}

QString InstalledQtTranslationsFile()
{
    const QTranslator *translator = installedQtTranslator();
    return translator ? translator->filePath() : QString();
}
