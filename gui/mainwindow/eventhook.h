#pragma once
// An event filter that hands the events of one object to a function.

#include <QObject>
#include <functional>

/// An event filter that hands the events of one object to a function: the window's handlers for keys,
/// drags and drops of its controls, without one filter method that knows them all.
class EventHook : public QObject {
public:
    /// Answer true from handler to stop the event there.
    using Handler = std::function<bool(QEvent* event)>;

    /// Installs itself on watched and lives as long as watched.
    EventHook(QObject* watched, Handler handler)
        : QObject(watched)
        , m_watched(watched)
        , m_handler(std::move(handler))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override { return watched == m_watched && m_handler(event); }

private:
    QObject* m_watched;
    Handler m_handler;
};
