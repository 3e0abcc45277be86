// The reading grid holds the readings typed so far, one per position, and for
// every run of up to MaxNodeLength consecutive readings that the language model
// knows, a node with the phrases of that run. Editing is incremental: inserting
// or deleting a reading touches only the nodes that cross the edited position
// and asks the model only about the runs that can have changed (at most 36
// look-ups for an insertion, 28 for a deletion).
//
// The walk (bestPath) picks the sequence of nodes with the highest total score;
// its node values are the composed text. The grid owns its walk (Walk.h): the
// plain walk, or the context walk once it has a context model
// (setContextModel), and tells it of every edit from one place, so a walk may
// keep its work between calls. Nodes are shared: the grid's columns and
// every BestPath hold the same node objects, so selecting a phrase of a node
// (overrideAt, or the context walk's choice) is seen by every holder.
//
// The key handler owns the grid and is the only one to edit it; tools and
// tests build their own. Nothing here throws apart from memory exhaustion;
// requests outside the grid give empty results or false and change nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grid/ContextModel.h"
#include "grid/GapBuffer.h"
#include "grid/LanguageModel.h"
#include "grid/Walk.h"

namespace Palisar::Lattivor2 {

struct BestPath;

// One candidate at a grid position: the reading of the node it comes from and
// one of that node's phrases.
struct GridCandidate {
  std::string reading;
  std::string value;
  std::string rawValue;

  bool operator==(const GridCandidate&) const = default;
};

class ReadingGrid {
 public:
  static constexpr std::size_t MaxNodeLength = 8;
  // The walk weight of a node fixed with OverrideKind::HighScore; far above any
  // log-probability a model returns.
  static constexpr double FixedHighScore = 42.0;

  // How a node's selection was fixed.
  enum class OverrideKind : std::uint32_t {
    None = 0,       // the walk weighs the selected phrase's own score
    HighScore = 1,  // the walk weighs the node at FixedHighScore: it always stays
    TopScore = 2,   // the walk weighs the node as its best phrase: it competes unchanged
  };

  // Wraps a model so that every phrase list comes sorted by descending score;
  // phrases with equal scores keep the wrapped model's order. A null wrapped
  // model knows nothing.
  class ScoreRankedLanguageModel : public LanguageModel {
   public:
    explicit ScoreRankedLanguageModel(std::shared_ptr<LanguageModel> model);
    std::vector<ScoredPhrase> getScoredPhrases(std::string_view reading) override;
    bool hasScoredPhrases(std::string_view reading) override;

   private:
    std::shared_ptr<LanguageModel> model_;
  };

  // The phrases of one run of readings. Always held through shared pointers.
  struct Node {
    Node(std::string reading, std::size_t length, std::vector<ScoredPhrase> phrases);

    std::string reading;                // the run's readings joined by the separator
    std::size_t length = 0;             // readings covered, 1 to MaxNodeLength
    std::vector<ScoredPhrase> phrases;  // highest score first; never empty in a grid
    std::size_t selected = 0;           // index into phrases of the current phrase
    OverrideKind overrideKind = OverrideKind::None;

    // A copy of the selected phrase; an empty phrase if there are no phrases.
    ScoredPhrase currentPhrase() const;
    // The selected phrase's value; empty if there are no phrases. Valid while
    // the node's phrases stay as they are.
    const std::string& currentValue() const;
    bool isOverridden() const { return overrideKind != OverrideKind::None; }
    // The node's weight in the walk (see OverrideKind); 0 without phrases.
    double score() const;
    // Selects the first phrase whose value is `value` and sets `kind`. Returns
    // false and changes nothing if no phrase has that value.
    bool overrideWith(std::string_view value, OverrideKind kind);
    // Back to the first phrase, no override.
    void release();

    // The context model's ids of the phrases the context walk considers,
    // looked up once per node; filled by the walk.
    std::vector<ContextModel::Word> contextWords;
  };

  using NodePtr = std::shared_ptr<Node>;

  // The nodes that start at one reading position, indexed by length - 1.
  struct NodeColumn {
    NodePtr nodes[MaxNodeLength];
    std::size_t longest = 0;  // greatest length with a node; 0 if none

    // The node of this length (1 to MaxNodeLength), or null.
    const NodePtr& node(std::size_t length) const { return nodes[length - 1]; }
  };

  // A node covering some position, and the column it starts in.
  struct CrossingNode {
    NodePtr node;
    std::size_t start = 0;
  };

  explicit ReadingGrid(std::shared_ptr<LanguageModel> model);
  ~ReadingGrid();
  // A copy would share its nodes, and with them its overrides, with the
  // original; grids are moved, never copied.
  ReadingGrid(const ReadingGrid&) = delete;
  ReadingGrid& operator=(const ReadingGrid&) = delete;
  ReadingGrid(ReadingGrid&&) noexcept;
  ReadingGrid& operator=(ReadingGrid&&) noexcept;

  std::size_t readingCount() const { return slots_.size(); }
  // A copy of the readings in order.
  std::vector<std::string> readings() const;
  const std::string& reading(std::size_t i) const { return slots_[i].reading; }
  std::size_t cursor() const { return cursor_; }
  // Positions beyond the last reading are clamped to readingCount().
  void moveCursor(std::size_t position);
  const std::string& separator() const { return separator_; }

  // Removes every reading and node; the cursor goes back to 0.
  void reset();

  // Inserts `reading` at the cursor and advances the cursor. Refuses (false,
  // nothing changes) an empty reading, the separator, and a reading the model
  // has no phrases for.
  bool addReading(std::string_view reading);
  // Backspace: removes the reading before the cursor; false at position 0.
  bool removeReadingBefore();
  // Delete: removes the reading after the cursor; false at the end.
  bool removeReadingAfter();

  // One column per reading.
  std::size_t columnCount() const { return slots_.size(); }
  const NodeColumn& column(std::size_t i) const { return slots_[i].column; }
  // A copy of all columns (sharing their nodes).
  std::vector<NodeColumn> columns() const;

  // The highest-scoring sequence of nodes covering every reading. Ties go to
  // the alternative whose last node starts earliest (the longer last node).
  // With a context model, the sequence of nodes and phrases with the highest
  // total of phrase scores and weighted pair scores; it selects the chosen
  // phrase of each node on the path that is not overridden.
  BestPath bestPath();

  // Switches the context walk on (a model) or off (null). Either way every
  // node that is not overridden goes back to its first phrase, so the plain
  // walk after the context walk is the plain walk as ever.
  void setContextModel(std::shared_ptr<const ContextModel> model);
  const std::shared_ptr<const ContextModel>& contextModel() const { return contextModel_; }
  // How far the context walk looks (for measurements).
  void setWalkLimits(const WalkLimits& limits);
  // Makes the next walk start from nothing: needed only when the context
  // model's own answers changed (its weight, say).
  void invalidateWalk();

  // The nodes covering `position`: those starting there by increasing length,
  // then those starting earlier, by start and then by increasing length. Empty
  // if `position` is not below the number of readings.
  std::vector<CrossingNode> nodesCrossing(std::size_t position) const;

  // Every phrase of every node covering `position` (the last reading when
  // `position` is the end), longest nodes first, each node's phrases in
  // descending score. Empty beyond the end or on an empty grid.
  std::vector<GridCandidate> candidateList(std::size_t position) const;

  // Fixes the first node covering `position` (same rule as candidateList) that
  // has a phrase of this value, and releases every other node crossing the
  // fixed node's readings. False, with nothing changed, if no node matches.
  bool overrideAt(std::size_t position, std::string_view value, OverrideKind kind);
  // As above, but only a node whose reading equals the candidate's reading
  // matches; the candidate's rawValue plays no part.
  bool overrideAt(std::size_t position, const GridCandidate& candidate, OverrideKind kind);

 private:
  enum class Edit { Insertion, Deletion };

  struct Slot {
    std::string reading;
    NodeColumn column;
  };

  void insertColumn(std::size_t p, std::string reading);
  void removeColumn(std::size_t p);
  void dropCrossingNodes(std::size_t p);
  void buildNodesAround(std::size_t p, Edit edit);
  // The node of the run at `start` of `length` readings, made when the model
  // knows the run and dropped when a stale one sits there.
  void buildNode(std::size_t start, std::size_t length);
  std::string joinedReading(std::size_t start, std::size_t length) const;
  bool overrideMatching(std::size_t position, const std::string* reading, std::string_view value,
                        OverrideKind kind);

  // The one place every change of readings, nodes or selections passes,
  // so that the walk can keep what a change leaves as it was.
  void changed(const GridChange& change);

  std::size_t cursor_ = 0;
  std::string separator_ = "-";
  // Readings and their columns, kept together in a gap buffer whose gap
  // follows the cursor, so an edit at the cursor moves no other position.
  GapBuffer<Slot> slots_;
  ScoreRankedLanguageModel model_;
  std::shared_ptr<const ContextModel> contextModel_;
  WalkLimits walkLimits_;
  std::unique_ptr<Walk> walk_;
};

// The result of a walk: a snapshot of the chosen nodes, sharing them with the
// grid (a later override changes what an older BestPath's nodes show), and of
// the phrase each node showed when the walk was made (valueAt).
struct BestPath {
  std::vector<ReadingGrid::NodePtr> nodes;  // in text order
  // The index of the phrase each node showed; empty when the path was not
  // made by a walk.
  std::vector<std::size_t> selections;
  std::size_t readingCount = 0;    // the sum of the nodes' lengths
  std::size_t vertexCount = 0;     // reading positions walked
  std::size_t edgeCount = 0;       // node relaxations performed
  std::int64_t elapsedMicros = 0;  // duration of the walk (diagnostic)

  struct Covering {
    ReadingGrid::NodePtr node;
    std::size_t end = 0;  // the reading position just after the node
  };

  // The node covering reading position `position`; reading positions at and
  // beyond the last reading (up to readingCount) give the last node. None
  // beyond readingCount or on an empty path.
  std::optional<Covering> nodeCovering(std::size_t position) const;

  // The value node `index` showed when the walk was made (its current value
  // when the path records no selections). REQUIRES: index < nodes.size().
  const std::string& valueAt(std::size_t index) const;

  // The current values of the nodes, concatenated.
  std::string composedText() const;
  // Records what each node shows now as what the walk chose.
  void noteSelections();
};

}  // namespace Palisar::Lattivor2
