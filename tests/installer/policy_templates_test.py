#!/usr/bin/env python3
"""The policy templates and the code agree.

The code's side is the policy block of shared/settings.h, the only place the
readers take policy names from: kPolicyKey, and per value its name and, in its
comment, "REG_DWORD a..b" / "REG_DWORD a/b" / "REG_DWORD a" or "subkey" (a
list of REG_SZ entries). Every policy of the ADMX must write exactly such a
value, every value the code reads must be written by a policy, and every
string and presentation the ADMX names must be in the ADML.
Usage: policy_templates_test.py SOURCE_DIR
"""
import re
import sys
import xml.etree.ElementTree as ET

NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
failures = []


def fail(text):
    failures.append(text)


def code_values(settings_h):
    text = open(settings_h, encoding="latin-1").read()
    key = re.search(r'kPolicyKey = "([^"]*)"', text).group(1).replace("\\\\", "\\")
    block = re.search(r"namespace policy \{(.*?)\}", text, re.S).group(1)
    values = {}
    for name, comment in re.findall(r'constexpr const char\* \w+ = "(\w+)";\s*//([^\n]*)', block):
        if "subkey" in comment:
            values[(key + "\\" + name).lower(), None] = ("list", None)
            continue
        m = re.search(r"REG_DWORD (\d+)(?:\.\.(\d+))?((?:/\d+)*)", comment)
        if not m:
            fail(f"settings.h: no type in the comment of policy value {name}")
            continue
        low = int(m.group(1))
        allowed = set(range(low, int(m.group(2)) + 1)) if m.group(2) else {low}
        allowed |= {int(v) for v in m.group(3).split("/") if v}
        values[key.lower(), name.lower()] = ("dword", allowed)
    return values


def written_values(admx):
    """(key, value name) -> (kind, decimals written), as the policies write them."""
    written = {}

    def add(where, kind, decimals, policy):
        had = written.setdefault(where, (kind, set()))
        if had[0] != kind:
            fail(f"{policy}: {where} written both as {had[0]} and {kind}")
        had[1].update(decimals)

    for policy in admx.findall("p:policies/p:policy", NS):
        name = policy.get("name")
        key = policy.get("key")
        if not key:
            fail(f"{name}: no key")
            continue
        if policy.get("class") != "Machine":
            fail(f"{name}: the code reads HKEY_LOCAL_MACHINE only, class must be Machine")
        if policy.get("valueName"):
            decimals = set()
            for state in ("p:enabledValue", "p:disabledValue"):
                for node in policy.findall(state, NS):
                    for child in node:
                        tag = child.tag.split("}")[1]
                        if tag == "decimal":
                            decimals.add(int(child.get("value")))
                        elif tag != "delete":
                            fail(f"{name}: {tag} where the code reads a REG_DWORD")
            add((key.lower(), policy.get("valueName").lower()), "dword", decimals, name)
        for element in policy.find("p:elements", NS) or []:
            tag = element.tag.split("}")[1]
            element_key = (element.get("key") or key).lower()
            if tag == "enum":
                decimals = set()
                for value in element.findall("p:item/p:value/*", NS):
                    if value.tag.split("}")[1] != "decimal":
                        fail(f"{name}: enum item not a decimal")
                    else:
                        decimals.add(int(value.get("value")))
                add((element_key, element.get("valueName").lower()), "dword", decimals, name)
            elif tag == "list":
                if element.get("expandable") == "true":
                    fail(f"{name}: the code reads REG_SZ entries, not REG_EXPAND_SZ")
                add((element_key, None), "list", set(), name)
            else:
                fail(f"{name}: element {tag} the code does not read")
    return written


def main(source):
    admx_path = source + "/installer/policy/Vendrolix.admx"
    adml_path = source + "/installer/policy/en-US/Vendrolix.adml"
    try:
        admx = ET.parse(admx_path).getroot()
        adml = ET.parse(adml_path).getroot()
    except ET.ParseError as error:
        print(f"template does not parse: {error}")
        return 1

    code = code_values(source + "/shared/settings.h")
    written = written_values(admx)
    for where, (kind, allowed) in code.items():
        if where not in written:
            fail(f"the code reads {where}, which no policy writes")
        elif written[where][0] != kind:
            fail(f"{where}: the code reads a {kind}, the policy writes a {written[where][0]}")
        elif kind == "dword" and not written[where][1] <= allowed:
            fail(f"{where}: the policy writes {sorted(written[where][1] - allowed)}, which the code ignores")
    for where in written:
        if where not in code:
            fail(f"a policy writes {where}, which the code never reads")

    strings = {s.get("id") for s in adml.findall("p:resources/p:stringTable/p:string", NS)}
    presentations = {p.get("id"): p for p in adml.findall("p:resources/p:presentationTable/p:presentation", NS)}
    admx_text = open(admx_path, encoding="utf-8").read()
    for ref in re.findall(r"\$\(string\.(\w+)\)", admx_text):
        if ref not in strings:
            fail(f"string {ref} missing from the ADML")
    for policy in admx.findall("p:policies/p:policy", NS):
        name = policy.get("name")
        if not policy.get("explainText"):
            fail(f"{name}: no explanation text")
        ids = {e.get("id") for e in policy.find("p:elements", NS) or []}
        ref = re.fullmatch(r"\$\(presentation\.(\w+)\)", policy.get("presentation") or "")
        if ids and not ref:
            fail(f"{name}: elements without a presentation")
        if ref:
            if ref.group(1) not in presentations:
                fail(f"presentation {ref.group(1)} missing from the ADML")
                continue
            refs = {c.get("refId") for c in presentations[ref.group(1)] if c.get("refId")}
            if refs != ids:
                fail(f"{name}: presentation shows {sorted(refs)}, the policy defines {sorted(ids)}")

    for text in failures:
        print(text)
    print(f"{len(code)} policy values checked, {len(failures)} disagreements")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
