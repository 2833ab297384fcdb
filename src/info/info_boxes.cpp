#include "info/info_boxes.h"

#include "info/contacts.h"
#include "services/program_values.h"
#include "shell/settings.h"

namespace stowix {

namespace {

const QChar LineBreak = QLatin1Char('\r');
const QChar Tab = QLatin1Char('\t');

void ShowInformation(Services& services, const QString& text, const QString& title) {
    services.dialogs.MessageBox(text, MessageButtons::Ok, MessageIcon::Information, title);
}

}  // namespace

QString InfoText(SettingsStore& settings, System& system) {
    const QString lastBackup =
        ReadSetting(settings, SettingsKeys::Info, SettingsKeys::LastBackup, SettingsKeys::None);
    const QString lastRestore =
        ReadSetting(settings, SettingsKeys::Info, SettingsKeys::LastRestore, SettingsKeys::None);
    const QString lastDelete =
        ReadSetting(settings, SettingsKeys::Info, SettingsKeys::LastDelete, SettingsKeys::None);
    const QString date = system.DateText();
    const QString time = system.TimeText();

    return QStringLiteral("Last Backup:") + Tab + lastBackup + LineBreak +
           QStringLiteral("Last Restore:") + Tab + lastRestore + LineBreak +
           QStringLiteral("Last Delete:") + Tab + lastDelete + LineBreak + LineBreak +
           QStringLiteral("Current date/time:") + Tab + date + QLatin1Char(' ') + time;
}

QString TipsText() {
    return QStringLiteral("For unattended backups, add a /U switch to Stowix's command-line.") +
           LineBreak + LineBreak +
           QStringLiteral("For invisible operation, add a /I switch to Stowix's command-line.") +
           LineBreak + LineBreak +
           QStringLiteral("Click File+Add Comment to add a comment to this backup.") + LineBreak +
           LineBreak + QStringLiteral("For free technical support, send e-mail to ") +
           SupportAddress + QLatin1Char('.');
}

QString AboutText() {
    return QStringLiteral("STOWIX") + LineBreak + LineBreak + QStringLiteral("Build ") +
           QString::number(ProgramRevision) + QStringLiteral(" - GA - 11/99") + LineBreak +
           LineBreak + QStringLiteral("For updates, visit ") + UpdatesAddress + QLatin1Char('.');
}

void ShowInfo(Services& services) {
    ShowInformation(services, InfoText(services.settings, services.system), QStringLiteral("Info"));
}

void ShowTips(Services& services) { ShowInformation(services, TipsText(), QStringLiteral("Tips")); }

void ShowAbout(Services& services) {
    ShowInformation(services, AboutText(), QStringLiteral("About Stowix"));
}

}  // namespace stowix
