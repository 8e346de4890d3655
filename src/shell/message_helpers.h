#pragma once

#include <QString>

class QWidget;

namespace velmora {

// A message box over `owner` captioned "Error" with the exclamation icon and OK.
int ShowError(QWidget* owner, const QString& text);
// The same captioned "Warning".
int ShowWarning(QWidget* owner, const QString& text);
// "Can not start thread to load quote." as an error.
void ReportThreadStartFailure(QWidget* owner);
// Handles every event already queued for this thread and returns at once.
void PumpMessages();

}  // namespace velmora
