#include "app/StartOptions.h"

#include "platform/Bundle.h"

namespace flashwell {

StartOptions StartOptions::read(const QStringList &arguments)
{
    StartOptions options;
    const CommandLine::Result line =
        CommandLine(CommandLine::Rules{.optionPrefix = QStringLiteral("-"), .unknown = CommandLine::Unknown::Skip})
            .helpAndVersion()
            .value({QStringLiteral("--record")}, CommandLine::into(options.recordPath))
            .once()
            .read(arguments);
    options.request = line.request;
    return options;
}

QString StartOptions::usage()
{
    return Bundle::localizedString("appUsage");
}

} // namespace flashwell
