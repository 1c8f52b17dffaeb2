#pragma once

#include <QString>

namespace ui {

// Where the preview writes its lines: the main window's six preview boxes, or a test recorder.
class PreviewTarget
{
public:
    virtual ~PreviewTarget() = default;
    // Puts `text` into preview box `index` (0 to 5).
    virtual void setPreviewLine(int index, const QString& text) = 0;
};

// Installs the target the preview writes into (not owned); nullptr detaches it.
void setPreviewTarget(PreviewTarget* target);

// Shows the first six lines of the file at `path` in the preview boxes, exactly as they stand.
// Boxes after the last line read keep their text; a file that cannot be read changes nothing.
void ShowDataFilePreview(const QString& path);

}  // namespace ui
