#pragma once
// TVSnapShot saves what a control shows as a JPEG file: the program keeps
// its cover thumbnails this way. The form is drawn off screen, with its
// children, over the control's area; nothing is read from the screen, so a
// window lying over the control does not get into the picture.

#include "platform/ansi/ansi.h"

#include <QObject>

class QWidget;

class TVSnapShot : public QObject {
    Q_OBJECT
public:
    explicit TVSnapShot(QObject* owner = nullptr) : QObject(owner) {}

    // Writes the picture of the control, exactly as large as the control,
    // as a baseline 24-bit JPEG at the quality (1 to 100) to the file, which
    // is replaced whole or not at all. The area taken from the form's
    // client area starts at the control's position moved by the offsets,
    // which turn a position within the control's parent into one within the
    // form. Raises EJPEG or EFCreateError when the file cannot be made; no
    // file is then left behind.
    void SaveToJPEGFile(int Quality, const AnsiString& FileName, QWidget* Form, QWidget* Control, int XOffset,
                        int YOffset);
    // The same picture as the bytes of a JPEG file, for a caller that puts
    // them in a file of its own choosing. Raises EJPEG.
    AnsiString JPEGBytes(int Quality, QWidget* Form, QWidget* Control, int XOffset, int YOffset);
};
