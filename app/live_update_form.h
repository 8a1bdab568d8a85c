#pragma once
// The update form: the program's member of the instance channel. Every
// running copy loads it for its whole life, so another copy started with
// "-uia" can ask it to quit, and a copy started plainly can ask it to show
// its window.

#include <QObject>

#include "core/app_comm.h"

namespace orvane {

class LiveUpdateForm : public QObject {
    Q_OBJECT
  public:
    explicit LiveUpdateForm(QObject* parent = nullptr);

    // Joins the instance channel; false when no channel could be joined
    // (the program then simply cannot be asked to quit).
    bool Load();
    void Unload();

    // Sends the quit message to every other running copy; gives how many
    // were reached.
    int SendQuitMessage();
    // Asks every other running copy to show its window; gives how many
    // were reached.
    int SendShowWindowMessage();

  Q_SIGNALS:
    // Another copy asked this one to quit. Delivered from the event loop,
    // never from inside the channel's own handler.
    void QuitRequested();
    // Another copy asked this one to show its window; delivered the same way.
    void ShowWindowRequested();

  private:
    void onReceived(const QString& text);

    AppComm comm_;
};

}  // namespace orvane
