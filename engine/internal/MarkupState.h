// The run-time state an element starts with, taken from its markup: the bare attributes
// "checked", "disabled", "readonly", "expanded" and "collapsed" give it those states, and an
// <input> or <progress> starts with its "value" attribute as its control value. The parser
// applies this to every element it creates, before the element joins a page; later attribute
// changes do not touch the states, which belong to the controls and the program from then on.
#pragma once

namespace tavopix {

class Element;

void ApplyMarkupState(Element& element);

}  // namespace tavopix
