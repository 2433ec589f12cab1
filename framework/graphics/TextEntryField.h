#pragma once

#include <string>

// The editing state of the editor's one-line text entry: the text, the caret
// and the selection, a length limit and a character filter. Drawing and the
// commit-on-next-frame protocol live with the editor window.
class TextEntryField
{
public:
  // Characters accepted: any printable one, or those of a number.
  enum Filter
  {
    kAnyText,
    kInteger, // '0'..'9', '+', '-'
    kDecimal, // the same and '.'
  };
  enum Action
  {
    kNothing, // the key changed nothing
    kEdited,  // text, caret or selection changed
    kCommit,  // Return
    kCancel,  // Escape
  };
  // The longest text an entry hands on, whatever the control allows.
  static constexpr int kMaxLength = 63;

  // Starts editing the text with all of it selected; a limit below 1 (or above
  // kMaxLength) means kMaxLength. A longer text is cut to the limit.
  void Open(const char* text, int limit, Filter filter);

  // A key: a WindowKey code and the character it types (may be empty).
  Action Key(int key, const char* typed, bool shift);
  bool Accepts(char c) const;

  // Moves the caret; with extend the selection grows from its anchor.
  void SetCaret(int position, bool extend);
  void SelectAll();

  const std::string& Text() const { return mText; }
  int Caret() const { return mCaret; }
  int SelectionStart() const { return mCaret < mAnchor ? mCaret : mAnchor; }
  int SelectionEnd() const { return mCaret < mAnchor ? mAnchor : mCaret; }
  bool HasSelection() const { return mCaret != mAnchor; }
  int Limit() const { return mLimit; }
  Filter CharFilter() const { return mFilter; }

private:
  bool DeleteSelection();
  void Insert(char c);

  std::string mText;
  int mCaret = 0;
  int mAnchor = 0;
  int mLimit = kMaxLength;
  Filter mFilter = kAnyText;
};
