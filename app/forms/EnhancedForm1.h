#pragma once
// Every window of the program wears the painted caption bar: the form
// enhancer with the program's three settings (the extra texts stay empty,
// the gradient takes one band per pixel up to 256). One call in the window's
// constructor, after a dialog's client size and before a main window's
// whole-window size is set; from then on message boxes wear it too.

#include "components/Enhancedform/Enhancedform.h"
#include "platform/dialogs/dialogs.h"

inline TEnhancedForm* AttachEnhancedForm(QWidget* window);

// A message box shown over the program's windows wears their caption bar:
// with the close button only, as a box is a fixed-size dialog, and a double
// click on it maximizes nothing, whatever the window manager would offer.
inline void DressMessageBox(QWidget* box) { AttachEnhancedForm(box); }

inline TEnhancedForm* AttachEnhancedForm(QWidget* window) {
    auto* enhancer = new TEnhancedForm(window);
    enhancer->setObjectName("EnhancedForm1");
    enhancer->TitleBar()->ApplicationInfo()->SetFontStyle(ef::fsBold);
    enhancer->TitleBar()->CompanyInfo()->SetFontStyle(ef::fsBold | ef::fsItalic);
    enhancer->TitleBar()->SetNbOfColors(0);
    dialogs::SetBoxDresser(DressMessageBox);
    return enhancer;
}
