#include "app/AboutBox.h"

#include "app/MessageBoxes.h"
#include "records/ProgramVersion.h"

namespace tarvio {

QString aboutText(const std::string& settingsFile, const std::string& autosaveFolder) {
    return QStringLiteral("Tarvio2 %1\n"
                          "A pulse-height spectrometer for USB detector readout interfaces.\n\n"
                          "MIT licence. Copyright Tarvio2 developers.\n\n"
                          "Settings: %2\n"
                          "Autosaves of running measurements: %3\n\n"
                          "Measuring without a window: tarvio2-cli --help.")
        .arg(QString::fromLatin1(programVersion().data(),
                                 static_cast<qsizetype>(programVersion().size())),
             QString::fromStdString(settingsFile), QString::fromStdString(autosaveFolder));
}

void showAboutBox(QWidget* parent, const std::string& settingsFile,
                  const std::string& autosaveFolder) {
    showMessageBox(parent, BoxIcon::Information, QStringLiteral("About Tarvio2"),
                   aboutText(settingsFile, autosaveFolder));
}

} // namespace tarvio
