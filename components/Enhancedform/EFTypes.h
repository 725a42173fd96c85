#pragma once
// The enumerations of the form enhancer's properties and of the frame it
// paints, as the toolkit names them.

#include <QFlags>
#include <QObject>

namespace ef {
Q_NAMESPACE

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
Q_ENUM_NS(TFormBorderStyle)

enum TBorderIcon { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
Q_DECLARE_FLAGS(TBorderIcons, TBorderIcon)
Q_FLAG_NS(TBorderIcons)

enum TCaptionButton { cbClose = 1, cbMinimize = 2, cbMaximize = 4, cbHelp = 8 };
Q_DECLARE_FLAGS(TCaptionButtons, TCaptionButton)
Q_FLAG_NS(TCaptionButtons)

enum TGradientType { gtNone, gtLeftToRight, gtCenterToBorder };
Q_ENUM_NS(TGradientType)

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
Q_ENUM_NS(TAlignment)

enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_FLAG_NS(TFontStyles)

enum TEFWallPaperDisplay { dwTile, dwCenter };
Q_ENUM_NS(TEFWallPaperDisplay)

enum TTrayIconIconType { itSingle, itList };
Q_ENUM_NS(TTrayIconIconType)

enum TTrayIconOpenAppOn { ooClick, ooDblClick, ooNone };
Q_ENUM_NS(TTrayIconOpenAppOn)

enum TMouseButton { mbLeft, mbRight, mbMiddle };
Q_ENUM_NS(TMouseButton)

enum TShiftStateFlag { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
Q_DECLARE_FLAGS(TShiftState, TShiftStateFlag)
Q_FLAG_NS(TShiftState)

// A property's setter: the field takes the new value; true when it changed,
// so that the setter goes on to show the change.
template <typename T, typename U>
bool Assign(T& field, const U& value) {
    if (field == value) return false;
    field = value;
    return true;
}

}  // namespace ef

Q_DECLARE_OPERATORS_FOR_FLAGS(ef::TBorderIcons)
Q_DECLARE_OPERATORS_FOR_FLAGS(ef::TCaptionButtons)
Q_DECLARE_OPERATORS_FOR_FLAGS(ef::TFontStyles)
Q_DECLARE_OPERATORS_FOR_FLAGS(ef::TShiftState)
