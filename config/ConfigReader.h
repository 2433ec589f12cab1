#pragma once

#include "config/ControlElement.h"
#include "config/MidiMapRecord.h"
#include "config/SysExDefinition.h"
#include "framework/support/IDrawTypes.h"

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

class IContactControl;
class IControl;
class IEffectBase;
class IGraphics;
class LayerGroup;
class PatchLibrarian;
namespace tinyxml2
{
class XMLDocument;
class XMLNode;
} // namespace tinyxml2

// One image of the skin registry: its "PNG" resource id (also its bitmap cache key), frame count
// and layout, and the bitmap the editor loaded for it (owned by the bitmap cache).
struct ImageEntry
{
  int32_t resourceId = 0;
  int32_t frames = 1;
  uint8_t framesHorizontal = 0;
  IBitmapStrip strip; // bitmap and size at the reader's scale; no bitmap after the release pass
};

// Hashes a text of any form alike, so that a lookup by a view or a C string makes no std::string.
// Deliberately not noexcept: the standard library then keeps each key's hash in its node and
// compares those first, instead of hashing the keys of a bucket again at every lookup.
struct TextHash
{
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
// A table by name: the document's lookups run some ten thousand times while the editor is built.
template <class T> using TextMap = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;

// The numbers of a reverse MIDI map's key, mixed into one hash.
struct NumbersHash
{
  template <size_t N> size_t operator()(const std::array<int32_t, N>& numbers) const
  {
    uint64_t h = 0x9E3779B97F4A7C15u;
    for (int32_t n : numbers)
      h = (h ^ uint32_t(n)) * 0xFF51AFD7ED558CCDu;
    return size_t(h ^ (h >> 32));
  }
};
template <size_t N> using NumbersMap = std::unordered_map<std::array<int32_t, N>, IControl*, NumbersHash>;

// The configuration of the editor: reads the two definition documents, registers the images and
// the parameter names, builds every layer and control through the factories, and afterwards
// answers lookups by name and the reverse MIDI maps.
//
// Read, the release pass and the destructor run on the thread that builds or destroys the
// plug-in. After Read nothing changes the reader, so its lookups (none of which inserts) may be
// called from the editor, MIDI input and transfer threads without a lock.
class ConfigReader
{
public:
  static constexpr int kUiDocumentId = 100;
  static constexpr const char* kUiDocumentFile = "resources/uiconfig.tea";
  static constexpr int kSysExDocumentId = 101;
  static constexpr const char* kSysExDocumentFile = "resources/sysex.tea";
  static constexpr const char* kTextFace = "NK57 Monospace Sc Sb";

  using LogSink = std::function<void(const std::string& line)>;

  ConfigReader();
  // Detaches and frees the MIDI map records the reader created (the parameters outlive it).
  ~ConfigReader();

  ConfigReader(const ConfigReader&) = delete;
  ConfigReader& operator=(const ConfigReader&) = delete;

  // The build log: every "CONFIG READER: " line goes to the sink; without a sink (the log is
  // disabled) nothing is formatted.
  void SetLogSink(LogSink sink) { mLog = std::move(sink); }
  bool LogEnabled() const { return bool(mLog); }
  void Log(const std::string& line) const;
  // "<what> REFUSED: <reason>!", where a library failed (no memory); never throws.
  void LogFailure(const char* what, const std::exception& failure) const noexcept;

  // Stores the arguments, then: the SysEx document, the images, the parameter names, the UI
  // document's value lists and its element tree. A UI document that cannot be read is refused
  // whole with one log line (the registries stay filled, no control is built); answers whether
  // the UI document was read.
  bool Read(IGraphics* graphics, IEffectBase* plug, PatchLibrarian* librarian, uint32_t colourScheme,
            double uiScale);

  // ---- lookups (never insert) ----
  std::vector<std::string> GetValueList(std::string_view name) const;
  // The list itself, or null.
  const std::vector<std::string>* FindValueList(std::string_view name) const;
  // The registered index, or -1 with the log line "parameter <name> NOT FOUND!".
  int GetParamId(std::string_view name) const;
  LayerGroup* GetLayer(std::string_view name) const;
  // The strip of a registered image; the empty one-frame strip (and "Image <name> MISSING!") else.
  IBitmapStrip GetImage(std::string_view name) const;
  IControl* GetLibrarianView() const { return mLibrarianView; }
  IControl* FindInCcMap(int channel, int controller, int block) const;
  IControl* FindInNrpnMap(int channel, int msb, int lsb, int lsbController, int block) const;
  IControl* FindInSysExMap(int b0, int b1, int b2, int b3, int b4) const;
  const std::vector<SysExDefinition>& SysExTable() const { return mSysExTable; }
  const ImageEntry* FindImageEntry(std::string_view name) const;
  int ImageCount() const { return int(mImages.size()); }
  int ParameterNameCount() const { return int(mParamNames.size()); }

  // ---- load steps (public so that tests and the main class can run them one by one) ----
  void ReadSysExData();
  // Reads a deciphered SysEx document; a text that does not parse leaves the table as it was.
  bool ReadSysExText(const std::string& text);
  void LoadImages(IGraphics* graphics);
  void RegisterImage(IGraphics* graphics, int id, const char* name, const char* fileName, int frames,
                     uint8_t framesHorizontal);
  void InitParameterNames();
  void AddParameterName(std::string_view name, int index);
  void ReadValueLists(const tinyxml2::XMLDocument& document);
  // Reads a deciphered UI document: value lists, then the element tree. Refused whole (false,
  // one log line) when it does not parse or has no "uiconfig" element.
  bool ReadUiText(const std::string& text);
  // The release pass of shut-down: each image registration drops this editor's bitmap instead.
  void ReleaseImages(IGraphics* graphics);
  bool Releasing() const { return mReleasing; }

  // ---- the walker (UI document element tree) ----
  void BuildElement(const tinyxml2::XMLNode* node, LayerGroup* parent, int partIndex);
  IntTriple ParseBiDirectLink(const std::string& text, int partIndex);
  // Registers a layer under its name (a later group of the same name replaces the entry).
  void RegisterLayer(const std::string& name, LayerGroup* group);
  void SetLibrarianView(IControl* view) { mLibrarianView = view; }
  // The layers being built around the walk's current element: LeaveLayer answers how many remain.
  void EnterLayer() { ++mLayerDepth; }
  int LeaveLayer() { return --mLayerDepth; }

  // ---- MIDI map records and reverse maps ----
  // The parameter's record with its kind set, created (and owned by the reader) when it has none;
  // null when the index names no parameter.
  MidiMapRecord* AttachRecord(int paramIdx, uint32_t kind);
  void RegisterCcControl(const MidiMapRecord* record, IControl* control);
  void RegisterNrpnControl(const MidiMapRecord* record, IControl* control);
  void RegisterSysExControl(const int32_t key[4], int fifth, IControl* control);
  // The parameter link: see the factories. A link naming no parameter is ignored (logged).
  void SetBiDirectLink(MidiMapRecord* record, int paramIdx, const IntTriple& link, int partIndex);
  // "Part <n>[:caption]" for a part index of 0 or more, else the caption; valid until the next call.
  const std::string& MakeParamGroup(int partIndex, std::string_view caption);

  // ---- control factories (each answers the control it made, or null) ----
  IControl* CreateSwitch(const ControlElement& e);
  IControl* CreateAutoOffButton(const ControlElement& e);
  IContactControl* CreateContactButton(const std::string& name, int x, int y, const std::string& imageId,
                                       LayerGroup* parent, const std::string& caption);
  IControl* CreateDisplay(const ControlElement& e);
  IControl* CreateTextSelection(const ControlElement& e);
  IControl* CreateDropSelection(const ControlElement& e);
  IControl* CreateNameSelection(const ControlElement& e);
  IControl* CreateDeviceSelection(const ControlElement& e);
  IControl* CreateMultiFxKnob(const ControlElement& e);
  IControl* CreateMultiFxMenu(const ControlElement& e);
  IControl* CreateCcKnob(const ControlElement& e);
  IControl* CreateCcMenu(const ControlElement& e);
  IControl* CreateCcSlider(const ControlElement& e, bool horizontal);
  IControl* CreateCcButton(const ControlElement& e);
  IControl* CreateMsbLsbKnob(const ControlElement& e);
  IControl* CreateMsbLsbButton(const ControlElement& e);
  IControl* CreateMsbLsbMenu(const ControlElement& e);
  IControl* CreateSeButton(const ControlElement& e);
  IControl* CreateSeKnob(const ControlElement& e);
  IControl* CreateSeMenu(const ControlElement& e);
  IControl* CreateSeSlider(const ControlElement& e, bool horizontal);
  IControl* CreateRadioButtons(const ControlElement& e);

  // ---- state ----
  IGraphics* Graphics() const { return mGraphics; }
  IEffectBase* Plug() const { return mPlug; }
  PatchLibrarian* Librarian() const { return mLibrarian; }
  double UiScale() const { return mUiScale; }
  uint32_t ColourScheme() const { return mColourScheme; }
  // A coordinate of the document at the reader's scale, truncated toward zero.
  int Scaled(int v) const;

private:
  friend class ControlFactory;

  TextMap<ImageEntry> mImages;
  TextMap<int> mParamNames;
  TextMap<LayerGroup*> mLayers;
  TextMap<std::vector<std::string>> mValueLists;
  double mUiScale = 0.0;
  uint32_t mColourScheme = 0;
  std::vector<SysExDefinition> mSysExTable;
  std::string mScratch;
  IGraphics* mGraphics = nullptr;
  IEffectBase* mPlug = nullptr;
  PatchLibrarian* mLibrarian = nullptr;
  IControl* mLibrarianView = nullptr;
  bool mReleasing = false;
  int mLayerDepth = 0;
  NumbersMap<3> mCcMap;
  NumbersMap<5> mNrpnMap;
  NumbersMap<5> mSysExMap;
  // The records this reader created, with their parameters, detached again when it goes.
  std::vector<std::pair<int, std::unique_ptr<MidiMapRecord>>> mRecords;
  LogSink mLog;
};
