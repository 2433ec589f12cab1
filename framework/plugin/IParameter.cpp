#include "framework/plugin/IParameter.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace
{
void CopyCut(char* dst, const char* src, int maxLength)
{
  // memchr stops at the first zero: a shorter text is not read past its end.
  const void* zero = src ? std::memchr(src, 0, size_t(maxLength)) : nullptr;
  const size_t n = !src ? 0 : zero ? size_t(static_cast<const char*>(zero) - src) : size_t(maxLength);
  if (n > 0) std::memcpy(dst, src, n);
  dst[n] = '\0';
}

// x to the power of the shape; most parameters are linear, and x to the power 1 is x exactly,
// without the cost of a power.
double Shaped(double x, double shape)
{
  return shape == 1.0 ? x : std::pow(x, shape);
}

// Copies text into out, cut to fit size bytes including the terminator.
void WriteText(char* out, int size, const char* text, size_t length)
{
  if (!out || size <= 0) return;
  if (length > size_t(size - 1)) length = size_t(size - 1);
  std::memcpy(out, text, length);
  out[length] = '\0';
}
} // namespace

IParameter::IParameter() : IParameter(nullptr) {}

// Two entries a granule: most lists are a two-state parameter's "off" and "on", and a larger one still
// grows by half its size at a time.
IParameter::IParameter(ParameterRange* range)
    : mOwnRange(range ? nullptr : new ParameterRange()), mRange(range ? range : mOwnRange.get()),
      mValueTexts(2 * int(sizeof(ValueTextEntry)))
{
}

void IParameter::SetupEnumerated(const char* name, int defaultValue, int count, const char* group)
{
  if (mRange->type == kTypeUnset) mRange->type = kTypeEnumerated;
  SetupContinuous(name, defaultValue, 0.0, double(count) - 1.0, 1.0, group);
}

void IParameter::SetupContinuous(const char* name, double defaultValue, double minimum, double maximum,
                                 double step, const char* group)
{
  if (mRange->type == kTypeUnset) mRange->type = kTypeContinuous;
  CopyCut(mName, name, kMaxNameLength);
  CopyCut(mGroup, group, kMaxGroupLength);

  mRange->min = minimum;
  Store(defaultValue);
  mRange->max = maximum > minimum + step ? maximum : minimum + step;
  mRange->step = step;
  mDefault = defaultValue;

  // As many decimals as the step needs, at most six.
  mDisplayPrecision = 0;
  for (double x = step; x != std::floor(x) && mDisplayPrecision < kMaxDisplayPrecision; x *= 10.0)
    ++mDisplayPrecision;
}

bool IParameter::AddValueText(int value, const char* text)
{
  if (value < 0) return false;

  std::lock_guard<std::mutex> lock(mTextLock);
  const int count = CountLocked();
  if (value >= count)
  {
    const int64_t bytes = (int64_t(value) + 1) * int64_t(sizeof(ValueTextEntry));
    if (bytes > std::numeric_limits<int32_t>::max()) return false;
    mValueTexts.ResizeZeroTail(int(bytes));
    if (mValueTexts.Size() != int(bytes)) return false;
    auto* entries = reinterpret_cast<ValueTextEntry*>(mValueTexts.Data());
    for (int i = count; i <= value; ++i)
      entries[i].value = i;
    mRange->max = double(value);
  }

  auto* entry = reinterpret_cast<ValueTextEntry*>(mValueTexts.Data()) + value;
  entry->value = value;
  CopyCut(entry->text, text, kMaxValueTextLength);
  return true;
}

void IParameter::SetValueTexts(const std::vector<std::string>& texts)
{
  {
    std::lock_guard<std::mutex> lock(mTextLock);
    mValueTexts.ResizeZeroTail(0);
    mRange->min = 0.0;
    mRange->max = mRange->min + mRange->step;
  }
  for (size_t i = 0; i < texts.size(); ++i)
    AddValueText(int(i), texts[i].c_str());
  if (!(Value() <= mRange->max)) Store(0.0);
}

void IParameter::SetFromNormalised(double n)
{
  if (!(n >= 0.0)) // also NaN
    n = 0.0;
  else if (n > 1.0)
    n = 1.0;

  double v = mRange->min + (mRange->max - mRange->min) * Shaped(n, EffectiveShape());
  if (mRange->type != kTypeContinuous && mRange->step > 0.0)
    v = std::floor(v / mRange->step + 0.5) * mRange->step; // grid counts from 0; halves go up

  if (!(v < mRange->max)) v = mRange->max;
  if (v < mRange->min) v = mRange->min;
  Store(v);
}

const IParameter::ValueTextEntry* IParameter::FindValueText(double v) const
{
  // The entry of the step nearest v: a value a hair below a step shows that step's text.
  if (!std::isfinite(v)) return nullptr;
  const int32_t wanted = NearestWhole(mRange->OnStep(v));
  const auto* entries = reinterpret_cast<const ValueTextEntry*>(mValueTexts.Data());
  const int count = CountLocked();
  for (int i = 0; i < count; ++i)
    if (entries[i].value == wanted) return &entries[i];
  return nullptr;
}

void IParameter::DisplayValue(double v, bool isNormalised, char* out, int size, bool useValueTexts) const
{
  if (!out || size <= 0) return;
  if (isNormalised) v = mRange->min + (mRange->max - mRange->min) * Shaped(v, EffectiveShape());
  if (!std::isfinite(v)) v = mRange->min;

  if (useValueTexts)
  {
    std::lock_guard<std::mutex> lock(mTextLock);
    const ValueTextEntry* entry = FindValueText(v);
    if (entry && entry->text[0])
    {
      WriteText(out, size, entry->text, std::strlen(entry->text));
      return;
    }
  }

  // Locale-independent formatting: hosts may run with any C locale.
  char text[400];
  std::to_chars_result result;
  if (mDisplayPrecision > 0)
    result = std::to_chars(text, text + sizeof(text), v, std::chars_format::fixed, mDisplayPrecision);
  else
    result = std::to_chars(text, text + sizeof(text), std::floor(mRange->OnStep(v) + 0.5) + 0.0,
                           std::chars_format::fixed, 0);
  if (result.ec != std::errc())
  {
    WriteText(out, size, "", 0);
    return;
  }
  WriteText(out, size, text, size_t(result.ptr - text));
}

const char* IParameter::HostLabel() const
{
  std::lock_guard<std::mutex> lock(mTextLock);
  const ValueTextEntry* entry = FindValueText(Value());
  return entry && entry->text[0] ? "" : Label();
}

int IParameter::ValueTextCount() const
{
  std::lock_guard<std::mutex> lock(mTextLock);
  return CountLocked();
}

std::string IParameter::ValueTextCopy(int value) const
{
  std::lock_guard<std::mutex> lock(mTextLock);
  const ValueTextEntry* entry = FindValueText(double(value));
  return entry ? std::string(entry->text) : std::string();
}

const char* IParameter::ValueText(int value) const
{
  const ValueTextEntry* entry = FindValueText(double(value));
  return entry ? entry->text : "";
}
