#pragma once

#include "application/LocalizedFileOpener.h"

class QUrl;

namespace Thg::Tilo::Components {

// Opens documents with the desktop's default application for their type.
class DesktopLocalizedFileOpener : public LocalizedFileOpener {
public:
    // The URL of a local file. Built as a file URL rather than by putting "file:" before the path,
    // which would read a "#" or "?" in a file or folder name as the start of a fragment or query,
    // and "%" with two hex digits as an escaped character, and so name another file or none.
    static QUrl urlOf(const QString &path);

protected:
    bool doOpenFile(const QString &path) override;
};

} // namespace Thg::Tilo::Components
