#pragma once
// Help → About: the version, the licence, and where the program keeps its files.

#include <QString>

#include <string>

class QWidget;

namespace tarvio {

// The text of the box: settingsFile is the settings.ini in use, autosaveFolder where running
// measurements are saved.
QString aboutText(const std::string& settingsFile, const std::string& autosaveFolder);

void showAboutBox(QWidget* parent, const std::string& settingsFile,
                  const std::string& autosaveFolder);

} // namespace tarvio
