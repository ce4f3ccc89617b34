// Declarations of every builtin, by family. Each follows the native calling
// convention: its arguments are "arg0", "arg1", ... in the call's Scope; it
// reads copies, changes nothing the Scope refers to, and returns a new Value.
#pragma once

#include "values/Scope.h"
#include "values/Value.h"

namespace vorn::builtins {

// Console (ConsoleBuiltins.cpp, Credits.cpp)
Value print(Interpreter&, Scope* scope);
Value input(Interpreter&, Scope* scope);
Value getchar(Interpreter&, Scope* scope);
Value beep(Interpreter&, Scope* scope);
Value werhatdasgemacht(Interpreter&, Scope* scope);
Value whereami(Interpreter&, Scope* scope);

// Kinds and inspection (KindBuiltins.cpp)
Value usedMemory(Interpreter&, Scope* scope);
Value size(Interpreter&, Scope* scope);
Value turn(Interpreter&, Scope* scope);
Value str(Interpreter&, Scope* scope);
Value toInt(Interpreter&, Scope* scope);
Value toFloat(Interpreter&, Scope* scope);
Value func(Interpreter&, Scope* scope);
Value list(Interpreter&, Scope* scope);
Value typeOf(Interpreter&, Scope* scope);
Value bytes(Interpreter&, Scope* scope);
Value linvert(Interpreter&, Scope* scope);

// List and bytes text encodings (EncodingBuiltins.cpp)
Value encodelist(Interpreter&, Scope* scope);
Value decodelist(Interpreter&, Scope* scope);
Value encodebytes(Interpreter&, Scope* scope);
Value decodebytes(Interpreter&, Scope* scope);

// Codecs (CodecBuiltins.cpp)
Value lz77compress(Interpreter&, Scope* scope);
Value lz77decompress(Interpreter&, Scope* scope);
Value base64encode(Interpreter&, Scope* scope);
Value base64decode(Interpreter&, Scope* scope);

// Files and folders (FileBuiltins.cpp)
Value readfile(Interpreter&, Scope* scope);
Value writefile(Interpreter&, Scope* scope);
Value readbinfile(Interpreter&, Scope* scope);
Value writebinfile(Interpreter&, Scope* scope);
Value mkdir(Interpreter&, Scope* scope);
Value rm(Interpreter&, Scope* scope);
Value listdir(Interpreter&, Scope* scope);
Value exists(Interpreter&, Scope* scope);
Value cd(Interpreter&, Scope* scope);
Value isdir(Interpreter&, Scope* scope);

// Evaluation and introspection (EvalBuiltins.cpp)
Value setargmap(Interpreter&, Scope* scope);
Value getvars(Interpreter&, Scope* scope);
Value eval(Interpreter&, Scope* scope);

}  // namespace vorn::builtins
