// Placeholder translation unit for a component that has no sources yet.
namespace q7_empty_component {}
