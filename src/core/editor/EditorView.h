#pragma once

// The editor window as the editor's logic sees it: a text of lines, a caption,
// a status line and the send items. The Qt window implements it; tests use a
// plain recorder.

#include <cstddef>
#include <string>
#include <vector>

namespace maroka::editor {

class EditorView {
public:
    virtual ~EditorView() = default;

    // The lines of the text (UTF-8); a final line end gives no empty last line.
    virtual std::vector<std::string> Lines() const = 0;
    // Replaces the whole text, each line followed by a line end, and puts the
    // caret at the start of line `caretLine`.
    virtual void SetLines(const std::vector<std::string>& lines, std::size_t caretLine) = 0;
    virtual bool Modified() const = 0;
    virtual void SetModified(bool modified) = 0;

    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetStatus(const std::string& status) = 0;
    // "送信ファイルチェック(&C)" and "送信(&S)".
    virtual void SetSendItemsEnabled(bool enabled) = 0;
    virtual void CloseWindow() = 0;
};

} // namespace maroka::editor
