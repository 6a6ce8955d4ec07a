#include "textscript/script_error.h"

#include <cstdarg>

#include "platform/debug_output.h"
#include "platform/wformat.h"

namespace TextScript {

namespace {

void FormatScriptError2(ScriptError2& record, int line, const char16_t* format, va_list args) {
  record.line = line;
  platform::FormatTextV(record.text, ScriptError2::kTextSize, format, args);
}

}  // namespace

ScriptError2& ScriptError2::Format(ScriptError2& record, int line, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  FormatScriptError2(record, line, format, args);
  va_end(args);
  return record;
}

void ThrowScriptError2(int line, const char16_t* format, ...) {
  ScriptError2 record;
  va_list args;
  va_start(args, format);
  FormatScriptError2(record, line, format, args);
  va_end(args);
  throw record;
}

namespace {

constexpr const char16_t* kCompileMessages[kCompileMessageCount] = {
    u"0000: None",
    u"0001: 不明なコマンドです",
    u"0002: 文字列の書き方に間違いがあります",
    u"0003: ラベルはすでに定義されています",
    u"0004: ラベルが定義されていません",
    u"0005: 使われている変数は存在しません",
    u"0006: パラメータの指定に間違いがあります",
    u"0007: 対応する IF コマンドがありません",
    u"0008: 対応する WHILE / SWITCH コマンドがありません",
    u"0009: 計算式に間違いがあります",
    u"0010: 音楽番号が範囲を超えています",
    u"0011: CG番号が範囲を超えています",
    u"0012: CGデータがロードされていません",
    u"0013: スプライトが作成されていません",
    u"0014: メニューが見つかりません",
    u"0015: 文字列以外で全角文字が使われています",
};

}  // namespace

const char16_t* CompileMessage(int code) {
  if (code < 0 || code >= kCompileMessageCount) code = 0;
  return kCompileMessages[code];
}

void ThrowScriptReport(const char16_t* fileName, int line, const char16_t* kind,
                       const char16_t* text) {
  // Not through DebugPrintf: its 128 units would cut a long label or file name.
  platform::OutputDebugText(platform::FormatString(u"%s(%d): %s: %s\n", fileName, line, kind, text));
  throw MakeError(fileName, line, kErrorTypeError, nullptr, u"%s", text);
}

}  // namespace TextScript
