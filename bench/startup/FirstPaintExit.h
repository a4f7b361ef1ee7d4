#pragma once

#include <QObject>

// Ends the process as soon as the first top-level window has painted, so a launch can be timed up to
// the moment the user sees a window. Installed on the application; exits with 0 then, or with 3 when
// nothing has painted within a minute.
class FirstPaintExit final : public QObject
{
public:
    explicit FirstPaintExit(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_painted = false;
};
