// The run loop and the base executor of the control-flow and variable statements.
#include "core/act.h"
#include "core/util.h"
#include "textscript/file_history.h"
#include "textscript/script_host.h"
#include "textscript/script_state.h"
#include "textscript/script_vars.h"

namespace TextScript {

namespace {

constexpr int32_t kTaskFinished = -1;

bool BeginsWithDigit(std::u16string_view s) { return !s.empty() && s[0] >= u'0' && s[0] <= u'9'; }

ScriptStateNode* JumpTo(ScriptStateGroup* group, const char16_t* label) {
  ScriptStateNode* target = group->FindLabel(label);
  if (target == nullptr) ThrowScriptError2(0, u"ラベルが見つかりません。[%s]", label);
  return target;
}

// Sets to 0 every integer variable whose first letter is (or, with `match`
// false, is not) the first letter of `operand`.
void ResetByInitial(std::u16string_view operand, bool match) {
  char16_t initial = operand.empty() ? 0 : AsciiUpper(operand[0]);
  for (const auto& [hash, entry] : ScriptVars().Entries()) {
    if (entry->kind != SCRIPTVARENTRY::kInteger) continue;
    std::u16string_view name = entry->Name();
    bool same = !name.empty() && AsciiUpper(name[0]) == initial;
    if (same == match) entry->value = 0;
  }
}

}  // namespace

ScriptStateNode* ScriptStateNode::ExecuteBase() {
  try {
    ScriptStateGroup* group = Group();
    ScriptVarTable& vars = ScriptVars();
    switch (m_Opcode) {
      case kOpPST: {
        if (ReplayMode != 0) break;
        SCRIPTVARENTRY* target = vars.Find(SCRIPTVARENTRY::kInteger, Arg(0));
        if (target == nullptr) target = vars.Insert(Arg(0), 0);
        if (!BeginsWithDigit(Arg(1))) ThrowScriptError2(0, u"数値を指定してください。");
        uint32_t v = static_cast<uint32_t>(vars.GetValue(Arg(1), 0));
        uint32_t current = static_cast<uint32_t>(target->value);
        if (m_Operator == '+') current += v;
        else if (m_Operator == '-') current -= v;
        else if (m_Operator == '=') current = v;
        target->value = static_cast<int32_t>(current);
        break;
      }
      case kOpCLM: {
        ScriptStateNode* next = GetNext();
        while (next != nullptr && next->m_Opcode == kOpCLM) next = next->GetNext();
        return next;
      }
      case kOpJMP:
        return JumpTo(group, Arg(0));
      case kOpRJP: {
        ScriptStateNode* run[3] = {};
        int count = 0;
        for (ScriptStateNode* n = this; n != nullptr && n->m_Opcode == kOpRJP; n = n->GetNext()) {
          if (count < 3) run[count] = n;
          ++count;
        }
        if (count != 3) ThrowScriptError2(0, u"RJP: ジャンプ先を３つ指定してください。");
        return JumpTo(group, run[LockedRand() % 3]->Arg(0));
      }
      case kOpPJP: {
        if (ReplayMode != 0) break;
        int32_t a = vars.GetValue(Arg(0), 0);
        int32_t b = vars.GetValue(Arg(1), 0);
        bool holds = (m_Operator == '<' && a < b) || (m_Operator == '=' && a == b) ||
                     (m_Operator == '>' && a > b);
        if (holds) return JumpTo(group, Arg(2));
        break;
      }
      case kOpRSP:
        vars.Insert(Arg(0), 0);
        break;
      case kOpRST:
        ResetByInitial(Arg(0), true);
        break;
      case kOpRSX:
        ResetByInitial(Arg(0), false);
        break;
      case kOpIVG:
        return group->EvaluateJudgeTable(vars.GetValue(Arg(0), 0));
      default:  // LGR, DON and the game's statements do nothing here
        break;
    }
    return GetNext();
  } catch (ScriptError& e) {
    e.line = m_Line;
    throw;
  } catch (ScriptError2& e) {
    e.line = m_Line;
    throw;
  }
}

int ScriptStateGroup::Prepare() {
  CurrentPage = 0;
  ScriptVarTable& vars = ScriptVars();
  for (IVJUDGETABLENODE* record = m_JudgeTable.GetHead(); record != nullptr;
       record = record->GetNext()) {
    for (int i = 0; i < record->m_Count && i < IVJUDGETABLENODE::kMaxConditions; ++i) {
      vars.Declare(record->m_Conditions[i].lhs, 0);
      vars.Declare(record->m_Conditions[i].rhs, 0);
    }
  }
  int seen = ScriptRunHistory().AddOnce(FileTitle(m_FileName));
  DeleteWaitTask();
  return seen;
}

ScriptStateNode* ScriptStateGroup::RunNodes(ScriptStateNode* node) {
  while (node != nullptr) {
    m_pCurrentNode = node;
    node = node->Execute();
    while (m_pWaitTask != nullptr) {
      RunACT(m_pWaitTask);
      WaitNextFrame();
      if (m_pWaitTask == nullptr) break;
      if (m_pWaitTask->state != kTaskFinished && (HeldInput() & kSkipKeysHeld) != 0) {
        SendACT(m_pWaitTask, ACT_KEY_HELD, 0, 0);
      }
      if (m_pWaitTask != nullptr && m_pWaitTask->state == kTaskFinished) DeleteWaitTask();
    }
  }
  return nullptr;
}

int ScriptStateGroup::Run(int page) {
  int result = 0;
  try {
    Prepare();
    ScriptStateNode* start = GetHead();
    if (page != -1) {
      start = nullptr;
      for (ScriptStateNode* node = GetHead(); node != nullptr; node = node->GetNext()) {
        if (node->m_Opcode == kOpPageBreak && node->m_Page == static_cast<uint32_t>(page) &&
            node->GetNext() != nullptr) {
          start = node->GetNext();
          CurrentPage = static_cast<uint32_t>(page);
          break;
        }
      }
      if (start == nullptr) ThrowScriptError2(page, u"再開できるページが見つかりません");
    }
    RunNodes(start);
    OnRunEnd();
    return result;
  } catch (const ScriptError& e) {
    DeleteWaitTask();
    ThrowScriptReport(m_FileName.c_str(), e.line, kRuntimeErrorKind, CompileMessage(e.code));
  } catch (const ScriptError2& e) {
    DeleteWaitTask();
    ThrowScriptReport(m_FileName.c_str(), e.line, kRuntimeErrorKind, e.text);
  } catch (const ExceptionHandle&) {
    // A quit or an error of the program: the run ends quietly.
    DeleteWaitTask();
    OnRunEnd();
    return 0;
  } catch (const ScriptException& e) {
    DeleteWaitTask();
    if (e.code == ScriptException::kBackToTitle || e.code == ScriptException::kLoad) {
      TakeSnapshot();
      result = e.code + 1;
    } else {
      result = 0;
    }
    OnRunEnd();
    return result;
  }
}

}  // namespace TextScript
