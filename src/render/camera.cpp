#include "render/renderer.h"

Camera::Camera() : view(Matrix::Identity()), projection(Matrix::Identity()) {}
