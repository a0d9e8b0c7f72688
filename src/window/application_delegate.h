#pragma once

#include "window/note_password.h"

namespace window {

class ViewController;

/// What the note view needs of the application's delegate: the stored password and the link back to the view.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    /// The stored note password ("" when none is stored), or unusable when it cannot be had; read afresh at every
    /// call.
    [[nodiscard]] virtual NotePassword passwordForNote() const = 0;
    /// Links the note view controller, replacing any earlier one; the delegate does not own it.
    virtual void setVc(ViewController* vc) = 0;
};

} // namespace window
