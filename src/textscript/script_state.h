// A compiled script: a list of statement nodes with their opcodes, operators,
// source lines, page numbers and text arguments, together with the reader used
// while compiling, the jump and judge tables and the run state. The game layer
// derives its own node and group classes from these.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/list.h"
#include "textscript/iv_table.h"
#include "textscript/script_error.h"
#include "textscript/script_reader.h"

struct ACT;

namespace TextScript {

// Statement opcodes.
enum : uint8_t {
  kOpReturn = 0,  // appended after the last statement; ends the run
  kOpMessage = 1,
  kOpGRP = 2,
  kOpCHR = 3,
  kOpCHL = 4,
  kOpLAB = 5,
  kOpMenuEnd = 6,   // named, never built
  kOpMakeMenu = 7,  // named, never built
  kOpWAV = 8,
  kOpPST = 9,
  kOpSEL = 10,
  kOpRMS = 11,
  kOpCLM = 12,
  kOpLGR = 13,
  kOpVOI = 14,
  kOpJMP = 15,
  kOpRJP = 16,
  kOpPJP = 17,
  kOpRSP = 18,
  kOpRST = 19,
  kOpRSX = 20,
  kOpSFS = 21,
  kOpDON = 22,
  kOpDOF = 23,
  kOpTOF = 24,
  kOpIVG = 25,
  kOpSSL = 26,
  kOpEND = 27,
  kOpEND1 = 28,
  kOpEND2 = 29,
  kOpSED = 30,
  kOpDGR = 31,
  kOpPageBreak = 34,
  kOpFLS = 35,
  kOpS1A = 36,
  kOpS1B = 37,
  kOpS1M = 38,
  kOpS2A = 39,
  kOpS2B = 40,
  kOpS2M = 41,
};

// One argument: a text, from the argument-node pool. The links are kept for
// expression trees; the compiler leaves them null.
struct SCRIPTARGNODE {
  static constexpr uint32_t kText = 1;

  SCRIPTARGNODE* parent;
  SCRIPTARGNODE* left;
  SCRIPTARGNODE* right;
  SCRIPTARGNODE* next;
  uint32_t kind;
  std::unique_ptr<char16_t[]> text;

  // A kind-1 node holding a copy of `text`.
  static SCRIPTARGNODE* MakeText(std::u16string_view text);
  // Frees the node, its text and every node linked below or after it.
  static void Free(SCRIPTARGNODE* node);
};

// One link of a node's argument chain, from the argument-item pool.
struct SCRIPTARGITEM {
  SCRIPTARGITEM* next;
  SCRIPTARGNODE* node;
  SCRIPTARGNODE* node2;  // a second operand; always null here
};

class ScriptStateGroup;

class ScriptStateNode : public CDoubleListNode<ScriptStateNode, ScriptStateGroup> {
 public:
  ScriptStateNode() = default;
  // Frees the argument chain and leaves the list.
  ~ScriptStateNode() override;

  // Runs the node; returns the next node to run, null to end the run.
  virtual ScriptStateNode* Execute();

  // Nodes live in the statement-node pool; a derived node too large for its
  // blocks comes from the ordinary heap.
  static void* operator new(std::size_t size);
  static void operator delete(void* p, std::size_t size);

  // Appends an argument text at the end of the chain.
  void AppendArg(std::u16string_view text);
  int ArgCount() const;
  // The text of argument `index` (0 first); "" when there is no such argument.
  const char16_t* Arg(int index) const;

  ScriptStateGroup* Group() const { return GetOwner() != nullptr ? GetOwner() : m_pGroup; }

  ScriptStateGroup* m_pGroup = nullptr;  // the group that made the node, also before it is in the list
  uint16_t m_Line = 0;     // reader's line when the node was made: the line after the statement
  uint8_t m_Opcode = 0;
  uint8_t m_Operator = 0;  // '=', '+', '-', '<', '>' for PST and PJP, else 0
  uint32_t m_Page = 0;     // page-break nodes: their page number from 1; else 0
  SCRIPTARGITEM* m_pArgs = nullptr;

 protected:
  // The base executor of the control-flow and variable opcodes; exceptions of
  // the script engine leave it with this node's line.
  ScriptStateNode* ExecuteBase();
};

// The global run state shared with the game layer.
extern uint32_t CurrentPage;  // number of the page-break node the run resumed from or last passed
extern int32_t ReplayMode;    // non-zero while a scene is replayed: PST and PJP do nothing

class ScriptStateGroup : public CDoubleListGroup<ScriptStateGroup, ScriptStateNode> {
 public:
  ScriptStateGroup();
  ~ScriptStateGroup() override;
  ScriptStateGroup(const ScriptStateGroup&) = delete;
  ScriptStateGroup& operator=(const ScriptStateGroup&) = delete;

  // A new node owned by this group (not yet in the list) with the reader's line.
  virtual ScriptStateNode* NewNode();
  // Before a run: page 0, judge operands declared, the script's title added to
  // the scripts-run history. Returns 1 when the title was there already.
  virtual int Prepare();
  virtual void OnRunEnd();
  // Runs from the head (page -1) or after the page break of that number.
  // Returns 0 (ended), 1 (back to the title) or 2 (load).
  virtual int Run(int page);
  virtual int OnMessage(int message, intptr_t a, intptr_t b);

  // Compiles a CP932 script into this empty group; the text ends at its first
  // NUL or its end. Returns 0; errors leave as a Type 0 error record.
  int Compile(std::string_view source, std::u16string_view fileName);

  // The page break in front of the first LAB of that name (case ignored), or
  // null when there is no such label.
  ScriptStateNode* FindLabel(std::u16string_view name);

  // Reads "iv.txt" into the jump and judge tables.
  int LoadTables(std::string_view text);
  // The page break of the label that judge records of id n (or jump entry n) choose.
  ScriptStateNode* EvaluateJudgeTable(int n);

  // Hands a wait task to the run loop, which runs it once per frame until its
  // state is -1 and then deletes it. A task handed over before is deleted.
  void SetWaitTask(ACT* task);
  ACT* WaitTask() const { return m_pWaitTask; }

  const std::u16string& FileName() const { return m_FileName; }
  ScriptReader& Reader() { return m_Reader; }
  ScriptStateNode* CurrentNode() const { return m_pCurrentNode; }
  IVJUMPTABLEGROUP& JumpTable() { return m_JumpTable; }
  IVJUDGETABLEGROUP& JudgeTable() { return m_JudgeTable; }

  // Deletes every node.
  void DeleteNodes();

  int32_t m_nLastErrorLine = 0;  // line of the last ScriptError Compile caught
  int32_t m_nLastErrorCode = 0;  // its code
  ScriptError2 m_LastError{};    // the last ScriptError2 Compile caught

 protected:
  // Makes a node of a derived class this group's, with the reader's line, as
  // NewNode does for its own nodes. Returns the node.
  ScriptStateNode* AdoptNode(ScriptStateNode* node);

 private:
  void DeleteWaitTask();
  ScriptStateNode* RunNodes(ScriptStateNode* node);

  std::u16string m_FileName;
  ScriptReader m_Reader;
  // FindLabel's index: upper-case name -> the first LAB node of that name, in
  // list order; made from the list as it stood at change count m_LabelIndexChanges.
  std::unordered_map<std::u16string, ScriptStateNode*> m_LabelIndex;
  std::optional<uint32_t> m_LabelIndexChanges;
  IVJUMPTABLEGROUP m_JumpTable;
  IVJUDGETABLEGROUP m_JudgeTable;
  ACT* m_pWaitTask = nullptr;              // pending wait of the run loop; owned
  ScriptStateNode* m_pCurrentNode = nullptr;  // the node being run
};

}  // namespace TextScript
