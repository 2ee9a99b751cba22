// Rendering, export and preflight: sources are added as they are written.
namespace LWRenderPlaceholder { int unused = 0; }
