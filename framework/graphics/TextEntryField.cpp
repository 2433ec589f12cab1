#include "framework/graphics/TextEntryField.h"

#include "platform/window/PlatformWindow.h"

#include <algorithm>

void TextEntryField::Open(const char* text, int limit, Filter filter)
{
  mLimit = (limit < 1 || limit > kMaxLength) ? kMaxLength : limit;
  mFilter = filter;
  mText = text ? text : "";
  if (int(mText.size()) > mLimit) mText.resize(size_t(mLimit));
  SelectAll();
}

bool TextEntryField::Accepts(char c) const
{
  const unsigned char u = static_cast<unsigned char>(c);
  // Only printable ASCII: the entry draws and hands on single bytes.
  if (u < 0x20 || u > 0x7E) return false;
  switch (mFilter)
  {
  case kInteger:
    return (c >= '0' && c <= '9') || c == '+' || c == '-';
  case kDecimal:
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
  default:
    return true;
  }
}

void TextEntryField::SetCaret(int position, bool extend)
{
  mCaret = std::clamp(position, 0, int(mText.size()));
  if (!extend) mAnchor = mCaret;
}

void TextEntryField::SelectAll()
{
  mAnchor = 0;
  mCaret = int(mText.size());
}

bool TextEntryField::DeleteSelection()
{
  if (!HasSelection()) return false;
  const int start = SelectionStart();
  mText.erase(size_t(start), size_t(SelectionEnd() - start));
  mCaret = mAnchor = start;
  return true;
}

void TextEntryField::Insert(char c)
{
  mText.insert(mText.begin() + mCaret, c);
  mAnchor = ++mCaret;
}

TextEntryField::Action TextEntryField::Key(int key, const char* typed, bool shift)
{
  switch (key)
  {
  case kWindowKeyReturn:
    return kCommit;
  case kWindowKeyEscape:
    return kCancel;
  case kWindowKeyBackSpace:
    if (DeleteSelection()) return kEdited;
    if (mCaret == 0) return kNothing;
    mText.erase(size_t(mCaret - 1), 1);
    mAnchor = --mCaret;
    return kEdited;
  case kWindowKeyDelete:
    if (DeleteSelection()) return kEdited;
    if (mCaret >= int(mText.size())) return kNothing;
    mText.erase(size_t(mCaret), 1);
    return kEdited;
  case kWindowKeyLeft:
    if (HasSelection() && !shift)
      SetCaret(SelectionStart(), false);
    else
      SetCaret(mCaret - 1, shift);
    return kEdited;
  case kWindowKeyRight:
    if (HasSelection() && !shift)
      SetCaret(SelectionEnd(), false);
    else
      SetCaret(mCaret + 1, shift);
    return kEdited;
  case kWindowKeyHome:
    SetCaret(0, shift);
    return kEdited;
  case kWindowKeyEnd:
    SetCaret(int(mText.size()), shift);
    return kEdited;
  default:
    break;
  }
  if (!typed || !typed[0] || typed[1] || !Accepts(typed[0])) return kNothing;
  // A typed character replaces the selection; past the limit it is refused.
  const int lengthAfter = int(mText.size()) - (SelectionEnd() - SelectionStart()) + 1;
  if (lengthAfter > mLimit) return kNothing;
  DeleteSelection();
  Insert(typed[0]);
  return kEdited;
}
