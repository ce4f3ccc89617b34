// The boot script, character for character: banner, library snapshot,
// restore dialogue, autorun and the read-eval-print loop.
#include "app/BootScript.h"

#include "app/BonusScript.h"

#include <string>

namespace vorn {

namespace {

// Lines 1 to 57 and 59 to 109; line 58 binds the bonus script.
constexpr std::string_view kBeforeBonus =
    "\n"
    "$print$(\"-----VORN V3 made by Kelvorast-----\")\n"
    "$print$(\"This is the built-in REPL.\")\n"
    "$print$(\"initializing...\")\n"
    "\n"
    "savelib = {\n"
    "    list names\n"
    "    list values\n"
    "    each ($_listdir$(\"lib\")) {\n"
    "        temp = $_readfile$((\"lib/\" + element))\n"
    "        temp = $_base64encode$(temp)\n"
    "        add values temp\n"
    "        add names element\n"
    "    }\n"
    "    list out\n"
    "    add out names\n"
    "    add out values\n"
    "    end $encodelist$(out)\n"
    "}\n"
    "\n"
    "extractlib = {\n"
    "    target = $decodelist$(target)\n"
    "    index target 0 names\n"
    "    index target 1 values\n"
    "    $_mkdir$(\"lib\")\n"
    "    $_cd$(\"lib\")\n"
    "    each (names) {\n"
    "        index values 0 temp\n"
    "        $_writefile$(element $_base64decode$(temp))\n"
    "        remove values 0\n"
    "    }\n"
    "    $_cd$(\"..\")\n"
    "}\n"
    "list templist\n"
    "add templist \"target\"\n"
    "extractlib = $setargmap$(extractlib templist)\n"
    "\n"
    "range = {\n"
    "    list out\n"
    "    x = 0\n"
    "    until (x < arg0) {\n"
    "        add out x\n"
    "        x += 1\n"
    "    }\n"
    "    end out\n"
    "}\n"
    "\n"
    "varexists = {\n"
    "    TVL = $_getvars\n"
    "    index TVL 0 TVL\n"
    "    where TVL arg0 TVL\n"
    "    compare (TVL == -1) {\n"
    "        end 0\n"
    "    }\n"
    "    end 1\n"
    "}\n"
    "\n";
constexpr std::string_view kAfterBonus =
    "\n"
    "compare ($_exists$(\"lib\")) {\n"
    "    $print$(\"saving SLB...\" \"r\")\n"
    "    $_writefile$(\"SLB.BUF\" $savelib)\n"
    "    $print$(\"saved SLB.     \")\n"
    "}\n"
    "\n"
    "compare ((not $_exists$(\"lib\")) or (not $_isdir$(\"lib\"))) {\n"
    "    $print$(\"lib folder is missing! Standard library unavailable.\")\n"
    "    $_beep\n"
    "    temp = 1\n"
    "    until (temp) {\n"
    "        $print$(\"Do you want to reconstruct the lib folder from a snapshot? y/n \" \"nah\")\n"
    "        out = $input\n"
    "        compare ((out == \"y\") or (out == \"n\")) {\n"
    "            temp = 0\n"
    "            compare (out == \"y\") {\n"
    "                compare ($_exists$(\"SLB.BUF\")) {\n"
    "                    compare ($size$($_readfile$(\"SLB.BUF\")) > 0) {\n"
    "                        temp2 = $_readfile$(\"SLB.BUF\")\n"
    "                        $extractlib$(temp2)\n"
    "                    }\n"
    "                    compare (not $size$($_readfile$(\"SLB.BUF\")) > 0) {\n"
    "                        $print$(\"passed failed\")\n"
    "                        $_beep\n"
    "                        $print$(\"lib folder backup file corrupted, incapable of restoring.\")\n"
    "                        $print$(\"Standard library unavailable.\")\n"
    "                    }\n"
    "                }\n"
    "                compare (not $_exists$(\"SLB.BUF\")) {\n"
    "                    $_beep\n"
    "                    $print$(\"lib folder backup file missing, incapable of restoring.\")\n"
    "                    $print$(\"Standard library unavailable.\")\n"
    "                }\n"
    "            }\n"
    "        }\n"
    "    }\n"
    "}\n"
    "\n"
    "$print$(\"OK\")\n"
    "compare ($_exists$(\"autorun.VORN\")) {\n"
    "    $print$(\"Running autorun...\")\n"
    "    also \"autorun\"\n"
    "}\n"
    "\n"
    "until (1) {\n"
    "    _STDLIBEXISTS = \"\"\n"
    "    compare (not $_exists$(\"lib\")) {_STDLIBEXISTS = \" !stdlib\"}\n"
    "    $print$(($_whereami + _STDLIBEXISTS + \" $ \") \"nah\")\n"
    "    exec ($input)\n"
    "}\n";

}  // namespace

std::string_view bootScript() {
    static const std::string text =
        std::string(kBeforeBonus) + "bonus = \"" + std::string(bonusScriptBase64()) + "\"\n" + std::string(kAfterBonus);
    return text;
}

std::string_view bootDefinitions() {
    // From the first definition to the bonus line's end.
    static const std::string_view text = [] {
        const std::string_view all = bootScript();
        const std::size_t from = all.find("\nsavelib = {\n") + 1;
        const std::size_t to = all.find('\n', all.find("\nbonus = \"") + 1) + 1;
        return all.substr(from, to - from);
    }();
    return text;
}

}  // namespace vorn
