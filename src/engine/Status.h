#pragma once

#include <QString>

namespace sonarel {

// The engine's state. `failed` carries the Spanish sentence shown to the user.
class Status {
public:
    enum class Kind { Idle, Preparing, Listening, Failed };

    static Status idle() { return Status(Kind::Idle, {}); }
    static Status preparing() { return Status(Kind::Preparing, {}); }
    static Status listening() { return Status(Kind::Listening, {}); }
    static Status failed(QString message) { return Status(Kind::Failed, std::move(message)); }

    Kind kind() const { return kind_; }
    const QString& message() const { return message_; }
    bool isFailed() const { return kind_ == Kind::Failed; }

    friend bool operator==(const Status&, const Status&) = default;

private:
    Status(Kind kind, QString message) : kind_(kind), message_(std::move(message)) {}

    Kind kind_;
    QString message_;
};

}  // namespace sonarel
