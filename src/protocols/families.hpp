#pragma once
// Every instrument family built into the program, handed to the dispatch
// registry in one place (explicitly, so no family is lost at link time).
namespace orlogix {

void register_protocol_families();

}  // namespace orlogix
