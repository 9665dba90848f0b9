// The system clipboard, as text.
#pragma once
#include <QString>

namespace platform {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void setText(const QString &text) = 0;
};

class SystemClipboard : public Clipboard {
public:
    void setText(const QString &text) override;
};

} // namespace platform
