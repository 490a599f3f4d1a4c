#pragma once
// A failure inside a tail pass (open, read, buffer, mail, window). The pass catches it and shows
// "Exception : " + Message() in the INFO pane; the tail goes on.
#include <stdexcept>

#include <QString>

class PassFailure final : public std::runtime_error {
public:
    explicit PassFailure(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& Message() const { return message_; }

private:
    QString message_;
};

// Thrown inside a pass when it has been asked to end (a stop or a close): the pass then leaves
// the view as it was and ends its tick.
class PassCancelled final : public std::exception {
public:
    const char* what() const noexcept override { return "pass cancelled"; }
};
