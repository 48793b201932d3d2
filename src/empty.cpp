// Placeholder translation unit for a subsystem library with no sources yet.
