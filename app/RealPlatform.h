#pragma once

#include "Platform.h"

// The platform as the running program uses it: the system clock, real
// message boxes, the desktop's default editor, the network.
class RealPlatform : public Platform {
public:
    DateValue Now() override;
    void ShowMessage(QWidget *parent, const QString &text, const QString &title) override;
    bool OpenInEditor(const QString &path) override;
    void Pause(int milliseconds) override;
    QString ProgramDirectory() override;
    QString DownloadUrl(const QString &url, int reload) override;
    void LetEventsRun() override;
};
