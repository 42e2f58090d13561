// Breakpoint shapes: the model with its blob, text and file forms, the
// renderer that turns a shape into a look-up table, and the level scale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qw
{

// A breakpoint curve on the unit square: 2 to 100 nodes and an interpolation
// type. A fixed-size value without heap memory, copied freely.
struct Shape
{
    struct Node
    {
        float x;
        float y;
    };

    static constexpr int kMaxNodes = 100;
    static constexpr uint32_t kMagic = 0x53484150;
    static constexpr unsigned long kMinBlobSize = 24;        // 2 nodes
    static constexpr unsigned long kMaxBlobSize = 808;       // 100 nodes
    static constexpr unsigned long kMaxFileSize = 1ul << 20; // shape files read at most

    // Interpolation types.
    enum : int32_t
    {
        kItpNone = 0,
        kItpLinear = 10,
        kItpLocalSpline = 20,
        kItpNaturalSpline = 30
    };

    class Interpolator;

    uint8_t changed = 0; // set by every real change; consumers clear it
    uint8_t invalid = 0; // set when the last text, blob or file was refused
    int32_t itp = kItpLinear;
    // From here on the object is the blob image: magic, count, count nodes.
    uint32_t magic = kMagic;
    int32_t count = 2;
    Node nodes[kMaxNodes] = {{0.f, 0.f}, {1.f, 0.f}};

    Shape() = default;
    // Parses a shape text; a refused text leaves the default two nodes and invalid = 1.
    explicit Shape(const wchar_t* text);
    // Reads a shape blob; a refused blob leaves the default two nodes and invalid = 1.
    Shape(unsigned long size, const void* data);

    // True for the interpolation types 0, 10, 20 and 30.
    static bool isValidItp(int v) { return v >= 0 && v <= 30 && ((0x40100401u >> v) & 1u) != 0; }
    // True when size and data form an acceptable shape blob.
    static bool isValidBlob(unsigned long size, const void* data);

    // Shape text: parenthesised (X,Y) pairs in user units -5..5. Returns true
    // only when the text was valid and the nodes changed.
    bool setString(const std::wstring& text);
    // Shape blob read in place: a refused blob keeps the current nodes and sets
    // invalid. Returns true (and sets changed) when the nodes changed.
    bool setBlob(unsigned long size, const void* data);
    // Shape file: first line a shape text, then optionally "ITP=<type>".
    // Only a regular file of at most kMaxFileSize bytes is read. Returns true
    // when nodes or type changed.
    bool loadShp(const std::wstring& path);
    // Takes a valid interpolation type (others are ignored); true when it changed.
    bool setItp(int v);

    // Copies n nodes in; true when anything differed. Leaves changed alone.
    bool _importNodes(const Node* src, int n);
    // Sorted insert of a node with 0 < x < 1; returns its index or -1.
    int addNode(const Node& node);
    // Moves this shape towards other by t in [0, 1]; true when it changed.
    bool morphWith(const Shape& other, float t);
    // The nodes of self moved towards other by t into out (kMaxNodes room);
    // answers their count, or 0 where morphWith changes nothing for the
    // reason of t (not above 0) or of a count out of range.
    static int morphNodes(const Shape& self, const Shape& other, float t, Node* out);
    // Sets the x of node i, kept strictly between its neighbours (the first and
    // last node keep x = 0 and x = 1). True when it changed.
    bool setNodeX(int i, float x);

    // The blob form: count * 8 + 8 bytes from magic on.
    const void* blobData() const { return &magic; }
    unsigned long blobSize() const { return static_cast<unsigned long>(count) * 8u + 8u; }
};

// A level mapping (linear, log-like, or decibel with a floor) with its derived
// coefficients cached.
struct LevelScale
{
    enum ScaleType : int32_t
    {
        kLinear = 0,
        kLogLike = 1,
        kDecibel = 2
    };

    ScaleType type = kLinear;
    float floorDb = -60.f;
    float lower = 0.f;
    float upper = 1.f;
    float range = 1.f;
    float invRange = 1.f;
    float lowerOverRange = 0.f;
    float threshold = 0.f;
    float invThreshold = 0.f;
    float floorDbMinus10 = 0.f;
    float floorOffset = 0.f;
    float mappedRange = 0.f;
    float invMappedRange = 0.f;
    float mappedLower = 0.f;
    float mappedLowerOverRange = 0.f;

    LevelScale() = default; // linear, floor -60 dB, range 0 to 1
    // lower is always taken as 0 (level zero); upper is in dB for kDecibel.
    LevelScale(ScaleType type, float lower, float upper, float floorDb);

    void _computeCachedVars();

    // The decibel scale value: v / threshold below the floor level, then one
    // unit per 10 dB above it. Other types: v itself.
    float scaleValue(float v) const;
    // Inverse of scaleValue.
    float levelFromScale(float s) const;
    // Position of v in the scale's range: 0 at lower, 1 at upper.
    float normalised(float v) const;
    // Inverse of normalised.
    float levelFromNormalised(float p) const;
};

// Renders a shape into a table of N + 1 floats; entry i is the curve at
// x = i / (N - 1), entry N a spare that stays 0. The table is allocated by the
// constructors only; render() allocates nothing.
class Shape::Interpolator
{
public:
    Shape shape;      // own copy; its changed flag drives rendering
    LevelScale level; // linear, floor -60 dB, 0 to 1
    int32_t N = 0;
    int32_t renderedN = 0; // N at the last render; 0 = must render
    std::vector<float> table;
    int32_t readPos = 0; // cursor of readNext(); every render() call resets it
    float invN = 0.f;
    float scratch[8][kMaxNodes] = {};

    Interpolator() = default;
    explicit Interpolator(int n);
    Interpolator(const Shape& s, int n);

    // Brings the table up to date: true when it ran, false when nothing was to do.
    // Tables of fewer than 16 points are never drawn.
    bool render();
    // The next table entry in order from the last render(); 0 past the end.
    float readNext() { return readPos < N ? table[static_cast<size_t>(readPos++)] : 0.f; }

    void _renderNone();
    void _renderLinear();
    void _renderLocalSplines();
    void _renderNaturalSplines();

private:
    void resize(int n);
    int finish(int i); // holds the last node's y over entries i .. N - 1
};

} // namespace qw
