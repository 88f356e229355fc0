// Joins the scene runtime to the engine: the engine manager's scene-manager
// slot builds CZeSceneManager (and the surface-manager slot the surface
// manager its objects take surfaces from), and releasing it deletes the
// objects and lights still in their tables. Call once before engine start (the executable and the
// tests do).
#pragma once

void zeSceneRegister();
