// Declarations of every builtin, by family. Each follows the native calling
// convention: its arguments are "arg0", "arg1", ... in the call's Scope; it
// reads copies, changes nothing the Scope refers to, and returns a new Value.
#pragma once

#include "values/Scope.h"
#include "values/Value.h"

namespace vorn::builtins {

// Console (ConsoleBuiltins.cpp, Credits.cpp)
Value print(Scope* scope);
Value input(Scope* scope);
Value getchar(Scope* scope);
Value beep(Scope* scope);
Value werhatdasgemacht(Scope* scope);
Value whereami(Scope* scope);

// Kinds and inspection (KindBuiltins.cpp)
Value usedMemory(Scope* scope);
Value size(Scope* scope);
Value turn(Scope* scope);
Value str(Scope* scope);
Value toInt(Scope* scope);
Value toFloat(Scope* scope);
Value func(Scope* scope);
Value list(Scope* scope);
Value typeOf(Scope* scope);
Value bytes(Scope* scope);
Value linvert(Scope* scope);

// List and bytes text encodings (EncodingBuiltins.cpp)
Value encodelist(Scope* scope);
Value decodelist(Scope* scope);
Value encodebytes(Scope* scope);
Value decodebytes(Scope* scope);

// Codecs (CodecBuiltins.cpp)
Value lz77compress(Scope* scope);
Value lz77decompress(Scope* scope);
Value base64encode(Scope* scope);
Value base64decode(Scope* scope);

// Files and folders (FileBuiltins.cpp)
Value readfile(Scope* scope);
Value writefile(Scope* scope);
Value readbinfile(Scope* scope);
Value writebinfile(Scope* scope);
Value mkdir(Scope* scope);
Value rm(Scope* scope);
Value listdir(Scope* scope);
Value exists(Scope* scope);
Value cd(Scope* scope);
Value isdir(Scope* scope);

// Evaluation and introspection (EvalBuiltins.cpp)
Value setargmap(Scope* scope);
Value getvars(Scope* scope);
Value eval(Scope* scope);

}  // namespace vorn::builtins
