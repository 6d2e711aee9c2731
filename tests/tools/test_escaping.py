import pytest

from tavrin_tools.msi import STAND_IN, formatted, registry_value, wix

# Each kind of name through each column's function.
ROWS = [
    # text, Formatted, a Registry value, the WiX attribute
    ("Main$1.class", "Main$1.class", "Main$1.class", '"Main$$1.class"'),
    ("My$Svc[1]", "My$Svc[\\[]1[\\]]", "My$Svc[\\[]1[\\]]", '"My$$Svc[1]"'),
    ("Costs $5 [daily]", "Costs $5 [\\[]daily[\\]]", "Costs $5 [\\[]daily[\\]]",
     '"Costs $$5 [daily]"'),
    ("{x}", "[\\{]x[\\}]", "[\\{]x[\\}]", '"{x}"'),
    ("100% & \"q\" <x>", "100% & \"q\" <x>", "100% & \"q\" <x>",
     '\'100% &amp; "q" &lt;x&gt;\''),
    ("#1 viewer", "#1 viewer", "##1 viewer", '"#1 viewer"'),
    ("a$(b)", "a$(b)", "a$(b)", '"a%sb)"' % STAND_IN),
    ("Über", "Über", "Über", '"Über"'),
]


@pytest.mark.parametrize("text,as_formatted,as_registry,as_wix", ROWS)
def test_each_column_gets_the_text_back(text, as_formatted, as_registry, as_wix):
    assert formatted(text) == as_formatted
    assert registry_value(text) == as_registry
    assert wix(text) == as_wix
