// Argument reading for olm-admin.
#include "CommandLine.h"

namespace olm::admin {

std::optional<CommandLine> readCommandLine(const QStringList &arguments, const QStringList &valueOptions,
                                           const QStringList &flagOptions, QString *error)
{
    CommandLine line;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!argument.startsWith(QLatin1String("--"))) {
            line.words.append(argument);
        } else if (valueOptions.contains(argument)) {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("%1 needs a value.").arg(argument);
                return std::nullopt;
            }
            line.values.insert(argument, arguments.at(++i));
        } else if (flagOptions.contains(argument)) {
            line.flags.insert(argument);
        } else {
            *error = QStringLiteral("Unknown option %1.").arg(argument);
            return std::nullopt;
        }
    }
    return line;
}

} // namespace olm::admin
