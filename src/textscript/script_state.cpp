#include "textscript/script_state.h"

#include <new>
#include <vector>

#include "core/act.h"
#include "core/fixheap.h"
#include "core/util.h"
#include "textscript/script_parse.h"
#include "textscript/script_vars.h"

namespace TextScript {

static_assert(sizeof(SCRIPTARGNODE) <= kArgNodeBlockSize);
static_assert(alignof(SCRIPTARGNODE) <= kFixHeapPoolAlignment);
static_assert(sizeof(SCRIPTARGITEM) <= kArgItemBlockSize);
static_assert(alignof(SCRIPTARGITEM) <= kFixHeapPoolAlignment);
static_assert(sizeof(ScriptStateNode) <= kStateNodeBlockSize);
static_assert(alignof(ScriptStateNode) <= kFixHeapPoolAlignment);

uint32_t CurrentPage = 0;
int32_t ReplayMode = 0;

// --- Arguments ------------------------------------------------------------------

namespace {


SCRIPTARGNODE* MakeArgNode(std::unique_ptr<char16_t[]> text) {
  void* block = ArgNodePool().Alloc(sizeof(SCRIPTARGNODE));
  if (block == nullptr) throw std::bad_alloc();
  return new (block) SCRIPTARGNODE{nullptr, nullptr, nullptr, nullptr, SCRIPTARGNODE::kText,
                                    std::move(text)};
}

void FreeArgItem(SCRIPTARGITEM* item) {
  SCRIPTARGNODE::Free(item->node);
  SCRIPTARGNODE::Free(item->node2);
  item->~SCRIPTARGITEM();
  ArgItemPool().Free(item);
}

}  // namespace

SCRIPTARGNODE* SCRIPTARGNODE::MakeText(std::u16string_view text) { return MakeArgNode(DuplicateText(text)); }

void SCRIPTARGNODE::Free(SCRIPTARGNODE* node) {
  while (node != nullptr) {
    SCRIPTARGNODE* next = node->next;
    Free(node->left);
    Free(node->right);
    node->~SCRIPTARGNODE();
    ArgNodePool().Free(node);
    node = next;
  }
}

// --- Statement nodes ----------------------------------------------------------

ScriptStateNode::~ScriptStateNode() {
  while (m_pArgs != nullptr) {
    SCRIPTARGITEM* next = m_pArgs->next;
    FreeArgItem(m_pArgs);
    m_pArgs = next;
  }
}

void* ScriptStateNode::operator new(std::size_t size) {
  if (size > kStateNodeBlockSize) return ::operator new(size);
  void* block = StateNodePool().Alloc(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void ScriptStateNode::operator delete(void* p, std::size_t size) {
  if (p == nullptr) return;
  if (size > kStateNodeBlockSize) {
    ::operator delete(p);
  } else {
    StateNodePool().Free(p);
  }
}

void ScriptStateNode::AppendArg(std::u16string_view text) {
  SCRIPTARGNODE* node = SCRIPTARGNODE::MakeText(text);
  void* block = ArgItemPool().Alloc(sizeof(SCRIPTARGITEM));
  if (block == nullptr) {
    SCRIPTARGNODE::Free(node);
    throw std::bad_alloc();
  }
  m_pArgs = ListAppendTail(m_pArgs, new (block) SCRIPTARGITEM{nullptr, node, nullptr});
}

int ScriptStateNode::ArgCount() const {
  int count = 0;
  for (SCRIPTARGITEM* item = m_pArgs; item != nullptr; item = item->next) ++count;
  return count;
}

const char16_t* ScriptStateNode::Arg(int index) const {
  SCRIPTARGITEM* item = ListNodeAt(m_pArgs, index);
  if (item == nullptr || item->node == nullptr || !item->node->text) return u"";
  return item->node->text.get();
}

ScriptStateNode* ScriptStateNode::Execute() { return ExecuteBase(); }

// --- Group ----------------------------------------------------------------------

ScriptStateGroup::ScriptStateGroup() = default;

ScriptStateGroup::~ScriptStateGroup() {
  DeleteWaitTask();
  DeleteNodes();
}

void ScriptStateGroup::DeleteNodes() {
  m_pCurrentNode = nullptr;
  while (GetHead() != nullptr) delete GetHead();  // each node leaves the list as it dies
}

ScriptStateNode* ScriptStateGroup::NewNode() { return AdoptNode(new ScriptStateNode); }

ScriptStateNode* ScriptStateGroup::AdoptNode(ScriptStateNode* node) {
  node->m_pGroup = this;
  node->m_Line = static_cast<uint16_t>(m_Reader.Line());
  return node;
}

void ScriptStateGroup::OnRunEnd() {}

int ScriptStateGroup::OnMessage(int, intptr_t, intptr_t) { return 0; }

void ScriptStateGroup::SetWaitTask(ACT* task) {
  if (m_pWaitTask != nullptr && m_pWaitTask != task) DeleteACT(m_pWaitTask);
  m_pWaitTask = task;
}

void ScriptStateGroup::DeleteWaitTask() {
  if (m_pWaitTask == nullptr) return;
  ACT* task = m_pWaitTask;
  m_pWaitTask = nullptr;
  DeleteACT(task);
}

int ScriptStateGroup::Compile(std::string_view source, std::u16string_view fileName) {
  m_FileName = fileName;
  m_Reader.Init(source);
  try {
    ScriptParse(*this);
    std::unique_ptr<ScriptStateNode> end(NewNode());
    end->m_Opcode = kOpReturn;
    Append(end.release());
  } catch (const ScriptError& e) {
    m_nLastErrorLine = e.line;
    m_nLastErrorCode = e.code;
    ThrowScriptReport(m_FileName.c_str(), e.line, kCompileErrorKind, CompileMessage(e.code));
  } catch (const ScriptError2& e) {
    m_LastError = e;
    ThrowScriptReport(m_FileName.c_str(), e.line, kCompileErrorKind, e.text);
  }
  uint32_t page = 0;
  for (ScriptStateNode* node = GetHead(); node != nullptr; node = node->GetNext()) {
    if (node->m_Opcode == kOpPageBreak) node->m_Page = ++page;
  }
  return 0;
}

ScriptStateNode* ScriptStateGroup::FindLabel(std::u16string_view name) {
  if (m_LabelIndexChanges != m_nChanges) {
    m_LabelIndex.clear();
    for (ScriptStateNode* node = GetHead(); node != nullptr; node = node->GetNext()) {
      if (node->m_Opcode != kOpLAB) continue;
      std::u16string key(node->Arg(0));
      UpperCaseScriptName(key);
      m_LabelIndex.emplace(std::move(key), node);  // a later LAB of the same name is never found
    }
    m_LabelIndexChanges = m_nChanges;
  }
  std::u16string key(name);
  UpperCaseScriptName(key);
  const auto found = m_LabelIndex.find(key);
  if (found == m_LabelIndex.end()) return nullptr;
  ScriptStateNode* node = found->second;
  ScriptStateNode* before = node->GetPrev();
  if (before != nullptr && before->m_Opcode == kOpPageBreak) return before;
  ThrowScriptError2(node->m_Line, u"ラベルの直前にページ区切りがありません");
}

// --- Parser actions -------------------------------------------------------------

char16_t* NewToken(const std::u16string& text) { return DuplicateText(text).release(); }

void FreeToken(char16_t* token) { std::unique_ptr<char16_t[]> owned(token); }

void ParseContext::Drop(std::initializer_list<char16_t**> args) {
  for (char16_t** slot : args) {
    FreeToken(*slot);
    *slot = nullptr;
  }
}

bool ParseContext::Build(uint8_t opcode, uint8_t op, std::initializer_list<char16_t**> args,
                         uint32_t flags) {
  // Take every value first: the parser does not free the values of a rule
  // whose action aborts.
  std::vector<std::unique_ptr<char16_t[]>> texts;
  texts.reserve(args.size());
  for (char16_t** slot : args) {
    texts.emplace_back(*slot);
    *slot = nullptr;
  }
  try {
    std::unique_ptr<ScriptStateNode> node(group.NewNode());
    node->m_Opcode = opcode;
    node->m_Operator = op;
    for (auto& text : texts) node->AppendArg(text.get());
    ScriptVarTable& vars = ScriptVars();
    if ((flags & kDeclareArg1) != 0) vars.Declare(node->Arg(0), 0);
    if ((flags & kDeclareArg2) != 0) vars.Declare(node->Arg(1), 0);
    if ((flags & kOneCharArg) != 0 && std::u16string_view(node->Arg(0)).size() != 1) {
      ThrowScriptParseError(group, reader.Line(), u"変数名は１文字にして下さい");
    }
    group.Append(node.release());
    return true;
  } catch (...) {
    pending = std::current_exception();
    return false;
  }
}

bool ParseContext::BuildPageBreak() { return Build(kOpPageBreak, 0, {}, 0); }

void ThrowScriptParseError(ScriptStateGroup& group, int line, const char16_t* message) {
  DebugPrintf(u"%s(%d): %s\n", group.FileName().c_str(), line, message);
  throw MakeError(group.FileName().c_str(), line, kErrorTypeError, nullptr, u"%s", message);
}

}  // namespace TextScript
