#pragma once

#include <QString>

#include <optional>

class QDir;

namespace Thg::Tilo::Components {

// Opens a document that lies in a directory, preferring the variant in the user's language:
// "<name><separator><language code><extension>", else "<name><extension>".
class LocalizedFileOpener {
public:
    LocalizedFileOpener() = default;
    LocalizedFileOpener(const LocalizedFileOpener &) = delete;
    LocalizedFileOpener &operator=(const LocalizedFileOpener &) = delete;
    virtual ~LocalizedFileOpener() = default;

    // Without a separator only "<name><extension>" is tried. Returns whether the document opened;
    // either way getLastPath() then names the absolute path that was tried last.
    bool openFile(const QDir &directory, const QString &name, std::optional<char> separator, const QString &extension);

    const QString &getLastPath() const { return mLastPath; }

protected:
    // Hands an existing file to whatever opens it; returns whether that worked.
    virtual bool doOpenFile(const QString &path) = 0;

private:
    QString mLastPath;
};

} // namespace Thg::Tilo::Components
