// Declarations of every builtin, by family. Each follows the native calling
// convention: its arguments are "arg0", "arg1", ... in the call's scope
// (exec/CallScope.h, read through builtins/Arguments.h); it reads copies,
// changes nothing the scope refers to, and returns a new Value.
#pragma once

#include "exec/CallScope.h"
#include "values/Value.h"

namespace vorn::builtins {

// Console (ConsoleBuiltins.cpp, Credits.cpp)
Value print(const CallScope& scope);
Value input(const CallScope& scope);
Value getchar(const CallScope& scope);
Value beep(const CallScope& scope);
Value werhatdasgemacht(const CallScope& scope);
Value whereami(const CallScope& scope);

// Kinds and inspection (KindBuiltins.cpp)
Value usedMemory(const CallScope& scope);
Value size(const CallScope& scope);
Value turn(const CallScope& scope);
Value str(const CallScope& scope);
Value toInt(const CallScope& scope);
Value toFloat(const CallScope& scope);
Value func(const CallScope& scope);
Value list(const CallScope& scope);
Value typeOf(const CallScope& scope);
Value bytes(const CallScope& scope);
Value linvert(const CallScope& scope);

// List and bytes text encodings (EncodingBuiltins.cpp)
Value encodelist(const CallScope& scope);
Value decodelist(const CallScope& scope);
Value encodebytes(const CallScope& scope);
Value decodebytes(const CallScope& scope);

// Codecs (CodecBuiltins.cpp)
Value lz77compress(const CallScope& scope);
Value lz77decompress(const CallScope& scope);
Value base64encode(const CallScope& scope);
Value base64decode(const CallScope& scope);

// Files and folders (FileBuiltins.cpp)
Value readfile(const CallScope& scope);
Value writefile(const CallScope& scope);
Value readbinfile(const CallScope& scope);
Value writebinfile(const CallScope& scope);
Value mkdir(const CallScope& scope);
Value rm(const CallScope& scope);
Value listdir(const CallScope& scope);
Value exists(const CallScope& scope);
Value cd(const CallScope& scope);
Value isdir(const CallScope& scope);

// Evaluation and introspection (EvalBuiltins.cpp)
Value setargmap(const CallScope& scope);
Value getvars(const CallScope& scope);
Value eval(const CallScope& scope);

}  // namespace vorn::builtins
