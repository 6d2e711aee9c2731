package com.example.app;

import com.example.dep.Greeting;

/** Started by its main class; its greeting comes from another JAR of lib\*. */
public class Main {
    public static void main(String[] args) {
        System.out.println("Main class " + Main.class.getName() + ": " + Greeting.text());
        System.out.println("Arguments: " + String.join("|", args));
    }
}
