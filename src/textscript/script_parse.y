/* The script grammar. A statement node is built as soon as its NEWLINE has been
   read; a run of blank lines becomes one page break once the token after it has
   been read. The stack starts with room for 200 states and doubles up to 10000. */

%code top {
#include <cstring>
// Token values are plain pointers, so the stack may be moved when it grows.
#define YYSTYPE_IS_TRIVIAL 1
#define YYINITDEPTH 200
#define YYMAXDEPTH 10000
}

%code requires {
#include "textscript/script_parse.h"
}

%code {
#include "textscript/script_lex.h"
#include "textscript/script_state.h"

using namespace TextScript;

namespace {
int scriptyylex(char16_t** value, ParseContext* ctx);
void scriptyyerror(ParseContext* ctx, const char* message);
}
}

%define api.pure full
%define api.prefix {scriptyy}
%define api.value.type {char16_t*}
%parse-param {TextScript::ParseContext* ctx}
%lex-param {TextScript::ParseContext* ctx}

%token V 258 TEXT 259 NEWLINE 260
%token SEL 262 RMS 263 CLM 264 GRP 265 CHR 266 CHL 267 LGR 268 WAV 269 VOI 270
%token JMP 271 RJP 272 PJP 273 PST 274 RSP 275 RST 276 RSX 277 SFS 278 DON 279
%token DOF 280 TOF 281 IVG 282 SSL 283 END 284 END1 285 END2 286 SED 287 DGR 288
%token LAB 289 SHARPLINE 290 SLASHLINE 291 AT 292 FLS 293
%token S1A 294 S1B 295 S1M 296 S2A 297 S2B 298 S2M 299

%destructor { FreeToken($$); } V TEXT

%%

program
  : body
  | body pagebreak
  ;

body
  : %empty
  | body statement
  | body pagebreak statement
  ;

pagebreak
  : blanks  { if (!ctx->BuildPageBreak()) YYABORT; }
  ;

blanks
  : blank
  | blanks blank
  ;

blank
  : NEWLINE
  | SHARPLINE NEWLINE
  | SLASHLINE NEWLINE
  ;

statement
  : TEXT NEWLINE           { if (!ctx->Build(kOpMessage, 0, {&$1}, 0)) YYABORT; }
  | GRP V NEWLINE          { if (!ctx->Build(kOpGRP, 0, {&$2}, 0)) YYABORT; }
  | GRP V V NEWLINE        { if (!ctx->Build(kOpGRP, 0, {&$2, &$3}, 0)) YYABORT; }
  | CHR V NEWLINE          { if (!ctx->Build(kOpCHR, 0, {&$2}, 0)) YYABORT; }
  | CHL V NEWLINE          { if (!ctx->Build(kOpCHL, 0, {&$2}, 0)) YYABORT; }
  | LAB V NEWLINE          { if (!ctx->Build(kOpLAB, 0, {&$2}, 0)) YYABORT; }
  | WAV V NEWLINE          { if (!ctx->Build(kOpWAV, 0, {&$2}, 0)) YYABORT; }
  | PST V '=' V NEWLINE    { if (!ctx->Build(kOpPST, '=', {&$2, &$4}, kDeclareArg1)) YYABORT; }
  | PST V '+' V NEWLINE    { if (!ctx->Build(kOpPST, '+', {&$2, &$4}, kDeclareArg1)) YYABORT; }
  | PST V '-' V NEWLINE    { if (!ctx->Build(kOpPST, '-', {&$2, &$4}, kDeclareArg1)) YYABORT; }
  | SEL V TEXT NEWLINE     { if (!ctx->Build(kOpSEL, 0, {&$2, &$3}, 0)) YYABORT; }
  | RMS TEXT NEWLINE       { if (!ctx->Build(kOpRMS, 0, {&$2}, 0)) YYABORT; }
  | CLM TEXT NEWLINE       { if (!ctx->Build(kOpCLM, 0, {&$2}, 0)) YYABORT; }
  | LGR V NEWLINE          { if (!ctx->Build(kOpLGR, 0, {&$2}, 0)) YYABORT; }
  | VOI V NEWLINE          { if (!ctx->Build(kOpVOI, 0, {&$2}, 0)) YYABORT; }
  | AT V NEWLINE           { if (!ctx->Build(kOpVOI, 0, {&$2}, 0)) YYABORT; }
  | JMP V NEWLINE          { if (!ctx->Build(kOpJMP, 0, {&$2}, 0)) YYABORT; }
  | RJP V NEWLINE          { if (!ctx->Build(kOpRJP, 0, {&$2}, 0)) YYABORT; }
  | PJP V '=' V V NEWLINE  { if (!ctx->Build(kOpPJP, '=', {&$2, &$4, &$5}, kDeclareArg1 | kDeclareArg2)) YYABORT; }
  | PJP V '<' V V NEWLINE  { if (!ctx->Build(kOpPJP, '<', {&$2, &$4, &$5}, kDeclareArg1 | kDeclareArg2)) YYABORT; }
  | PJP V '>' V V NEWLINE  { if (!ctx->Build(kOpPJP, '>', {&$2, &$4, &$5}, kDeclareArg1 | kDeclareArg2)) YYABORT; }
  | RSP V NEWLINE          { if (!ctx->Build(kOpRSP, 0, {&$2}, kDeclareArg1)) YYABORT; }
  | RST V NEWLINE          { if (!ctx->Build(kOpRST, 0, {&$2}, kOneCharArg)) YYABORT; }
  | RSX V NEWLINE          { if (!ctx->Build(kOpRSX, 0, {&$2}, kOneCharArg)) YYABORT; }
  | SFS V NEWLINE          { if (!ctx->Build(kOpSFS, 0, {&$2}, 0)) YYABORT; }
  | DON V NEWLINE          { if (!ctx->Build(kOpDON, 0, {&$2}, kDeclareArg1)) YYABORT; }
  | DOF NEWLINE            { if (!ctx->Build(kOpDOF, 0, {}, 0)) YYABORT; }
  | TOF NEWLINE            { if (!ctx->Build(kOpTOF, 0, {}, 0)) YYABORT; }
  | IVG V NEWLINE          { if (!ctx->Build(kOpIVG, 0, {&$2}, 0)) YYABORT; }
  | SSL V NEWLINE          { if (!ctx->Build(kOpSSL, 0, {&$2}, 0)) YYABORT; }
  | END NEWLINE            { if (!ctx->Build(kOpEND, 0, {}, 0)) YYABORT; }
  | END V NEWLINE          { if (!ctx->Build(kOpEND, 0, {&$2}, 0)) YYABORT; }
  | END1 NEWLINE           { if (!ctx->Build(kOpEND1, 0, {}, 0)) YYABORT; }
  | END1 V NEWLINE         { if (!ctx->Build(kOpEND1, 0, {&$2}, 0)) YYABORT; }
  | END2 NEWLINE           { if (!ctx->Build(kOpEND2, 0, {}, 0)) YYABORT; }
  | END2 V NEWLINE         { if (!ctx->Build(kOpEND2, 0, {&$2}, 0)) YYABORT; }
  | SED NEWLINE            { if (!ctx->Build(kOpSED, 0, {}, 0)) YYABORT; }
  | DGR V NEWLINE          { if (!ctx->Build(kOpDGR, 0, {&$2}, 0)) YYABORT; }
  | FLS V NEWLINE          { if (!ctx->Build(kOpFLS, 0, {&$2}, 0)) YYABORT; }
  | S1A V NEWLINE          { if (!ctx->Build(kOpS1A, 0, {&$2}, 0)) YYABORT; }
  | S1B V NEWLINE          { if (!ctx->Build(kOpS1B, 0, {&$2}, 0)) YYABORT; }
  | S1M NEWLINE            { if (!ctx->Build(kOpS1M, 0, {}, 0)) YYABORT; }
  | S2A V NEWLINE          { if (!ctx->Build(kOpS2A, 0, {&$2}, 0)) YYABORT; }
  | S2B V NEWLINE          { if (!ctx->Build(kOpS2B, 0, {&$2}, 0)) YYABORT; }
  | S2M NEWLINE            { if (!ctx->Build(kOpS2M, 0, {}, 0)) YYABORT; }
  ;

%%

constexpr bool SameCode(int bison, int lexer) { return bison == lexer; }
static_assert(SameCode(V, kTokenV) && SameCode(TEXT, kTokenText) && SameCode(NEWLINE, kTokenNewline));
static_assert(SameCode(SHARPLINE, kTokenSharpLine) && SameCode(SLASHLINE, kTokenSlashLine));
static_assert(SameCode(AT, kTokenAt) && SameCode(SEL, kTokenSEL) && SameCode(LAB, kTokenLAB));
static_assert(SameCode(FLS, kTokenFLS) && SameCode(S2M, kTokenS2M));

namespace {

int scriptyylex(char16_t** value, ParseContext* ctx) {
  *value = nullptr;
  try {
    std::u16string text;
    int token = ScriptLex(ctx->reader, text);
    if (token == kTokenV || token == kTokenText) *value = NewToken(text);
    return token;
  } catch (...) {
    // Unwinding through the parser would leak its stack: hand the parser an
    // error token and throw once it has cleaned up.
    ctx->pending = std::current_exception();
    return SCRIPTYYerror;
  }
}

void scriptyyerror(ParseContext* ctx, const char* message) {
  ctx->errorLine = ctx->reader.Line();
  ctx->errorMessage = std::strcmp(message, "memory exhausted") == 0 ? "parser stack overflow" : message;
}

}  // namespace

namespace TextScript {

int ScriptParse(ScriptStateGroup& group) {
  ParseContext ctx{group, group.Reader(), nullptr, 0, {}};
  int result = scriptyyparse(&ctx);
  if (ctx.pending) std::rethrow_exception(ctx.pending);
  if (result != 0) {
    std::u16string message(ctx.errorMessage.begin(), ctx.errorMessage.end());
    ThrowScriptParseError(group, ctx.errorLine, message.c_str());
  }
  return 0;
}

}  // namespace TextScript
