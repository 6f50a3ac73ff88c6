// Core of the simulated machine (placeholder).
