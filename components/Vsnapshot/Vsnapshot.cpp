#include "components/Vsnapshot/Vsnapshot.h"

#include "platform/files/files.h"
#include "platform/jpeg/jpeg.h"

#include <QImage>
#include <QWidget>

void TVSnapShot::SaveToJPEGFile(int Quality, const AnsiString& FileName, QWidget* Form, QWidget* Control, int XOffset,
                                int YOffset) {
    files::ReplaceWholeFile(FileName, JPEGBytes(Quality, Form, Control, XOffset, YOffset));
}

AnsiString TVSnapShot::JPEGBytes(int Quality, QWidget* Form, QWidget* Control, int XOffset, int YOffset) {
    const QRect source(Control->x() + XOffset, Control->y() + YOffset, Control->width(), Control->height());
    QImage shot(source.size(), QImage::Format_RGB32);
    // What lies beyond the form's edge shows in the form's background colour.
    shot.fill(Form->palette().color(Form->backgroundRole()));
    Form->render(&shot, QPoint(), QRegion(source), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return jpeg::Encode(shot, Quality);
}
